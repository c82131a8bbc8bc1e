#pragma once
// A graphin table that records every call as a line of text (doubles with three
// decimals), for checking what the draw commands ask of the library.
#include <string>
#include <vector>

#include "editor/GraphinTable.h"

namespace recording {

extern std::vector<std::string> g_calls;
// True when every double passed so far was finite.
extern bool g_allFinite;

const GraphinTable& Table();

// Installs the table and clears the record; uninstalls at scope end.
class Scope {
public:
    Scope();
    ~Scope();
};

}  // namespace recording
