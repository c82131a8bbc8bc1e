#include "foundation/ZipWriter.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "foundation/Crc32.h"
#include "foundation/Utf.h"

namespace {

// ---- a file layer in memory, with failures on demand ----

struct FakeFile {
    std::vector<uint8_t> data;
    ZipSourceInfo info;
    size_t growBy = 0;  // extra bytes that appear while the file is read
};

struct FakeArchive {
    std::vector<uint8_t> bytes;
    bool closed = false;
    long failWriteAfter = -1;  // total bytes after which writes fail
    int failSeekNumber = -1;   // the n-th seek (0-based) fails
    int seeks = 0;
    int writes = 0;
};

class FakeInput : public IZipInput {
public:
    explicit FakeInput(const FakeFile& f) : m_data(f.data) { m_data.resize(m_data.size() + f.growBy, 'x'); }
    long Read(uint8_t* buffer, size_t size) override {
        const size_t n = std::min(size, m_data.size() - m_pos);
        if (n > 0) std::memcpy(buffer, m_data.data() + m_pos, n);
        m_pos += n;
        return static_cast<long>(n);
    }
    bool Seek(uint64_t position) override {
        if (position > m_data.size()) return false;
        m_pos = static_cast<size_t>(position);
        return true;
    }

private:
    std::vector<uint8_t> m_data;
    size_t m_pos = 0;
};

class FakeOutput : public IZipOutput {
public:
    explicit FakeOutput(FakeArchive& a) : m_a(a) {}
    bool Write(const uint8_t* data, size_t size) override {
        ++m_a.writes;
        if (m_a.failWriteAfter >= 0 && static_cast<long>(m_pos + size) > m_a.failWriteAfter) return false;
        if (m_a.bytes.size() < m_pos + size) m_a.bytes.resize(m_pos + size);
        std::memcpy(m_a.bytes.data() + m_pos, data, size);
        m_pos += size;
        return true;
    }
    bool Seek(uint64_t position) override {
        if (m_a.seeks++ == m_a.failSeekNumber) return false;
        m_pos = static_cast<size_t>(position);
        return true;
    }
    void Close() override { m_a.closed = true; }

private:
    FakeArchive& m_a;
    size_t m_pos = 0;
};

class FakeFiles : public IZipFiles {
public:
    std::unique_ptr<IZipOutput> Create(const std::wstring& path) override {
        if (path.empty()) return nullptr;
        return std::make_unique<FakeOutput>(archive);
    }
    std::unique_ptr<IZipInput> Open(const std::wstring& path, ZipSourceInfo& info) override {
        auto it = files.find(path);
        if (it == files.end()) return nullptr;
        info = it->second.info;
        info.size = it->second.data.size();
        return std::make_unique<FakeInput>(it->second);
    }
    std::map<std::wstring, FakeFile> files;
    FakeArchive archive;
};

// ---- a small reader of what the writer produced ----

uint32_t U16(const std::vector<uint8_t>& b, size_t at) { return b.at(at) | (b.at(at + 1) << 8); }
uint32_t U32(const std::vector<uint8_t>& b, size_t at) { return U16(b, at) | (U16(b, at + 2) << 16); }

struct ReadEntry {
    uint32_t madeBy, needed, flags, method, dosDateTime, crc, csize, usize, extAttr, offset;
    std::string name;
    std::vector<uint8_t> centralExtra, localExtra;
    uint32_t localFlags, localCrc, localCsize;
    std::vector<uint8_t> content;
};

std::vector<uint8_t> InflateRaw(const uint8_t* data, size_t size, size_t expected) {
    std::vector<uint8_t> out(expected + 1);
    z_stream z{};
    inflateInit2(&z, -15);
    std::vector<uint8_t> in(data, data + size);
    z.next_in = in.data();
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int ret = inflate(&z, Z_FINISH);
    out.resize(z.total_out);
    inflateEnd(&z);
    if (ret != Z_STREAM_END || z.avail_in != 0) out.assign(1, 0xEE);  // marks a broken stream
    return out;
}

// Reads the end record, the central directory and every local entry; fails the test
// on any inconsistency.
std::vector<ReadEntry> ReadArchive(const std::vector<uint8_t>& b) {
    std::vector<ReadEntry> entries;
    EXPECT_GE(b.size(), 22u);
    if (b.size() < 22) return entries;
    const size_t end = b.size() - 22;
    EXPECT_EQ(U32(b, end), 0x06054B50u);
    const uint32_t count = U16(b, end + 8);
    EXPECT_EQ(U16(b, end + 10), count);
    const uint32_t dirSize = U32(b, end + 12);
    const uint32_t dirOffset = U32(b, end + 16);
    EXPECT_EQ(dirOffset + dirSize, end);
    size_t p = dirOffset;
    for (uint32_t i = 0; i < count; ++i) {
        ReadEntry e{};
        EXPECT_EQ(U32(b, p), 0x02014B50u);
        e.madeBy = U16(b, p + 4);
        e.needed = U16(b, p + 6);
        e.flags = U16(b, p + 8);
        e.method = U16(b, p + 10);
        e.dosDateTime = U32(b, p + 12);
        e.crc = U32(b, p + 16);
        e.csize = U32(b, p + 20);
        e.usize = U32(b, p + 24);
        const uint32_t nameLen = U16(b, p + 28), extraLen = U16(b, p + 30), commentLen = U16(b, p + 32);
        e.extAttr = U32(b, p + 38);
        e.offset = U32(b, p + 42);
        e.name.assign(b.begin() + p + 46, b.begin() + p + 46 + nameLen);
        e.centralExtra.assign(b.begin() + p + 46 + nameLen, b.begin() + p + 46 + nameLen + extraLen);
        p += 46 + nameLen + extraLen + commentLen;

        const size_t l = e.offset;
        EXPECT_EQ(U32(b, l), 0x04034B50u);
        e.localFlags = U16(b, l + 6);
        e.localCrc = U32(b, l + 14);
        e.localCsize = U32(b, l + 18);
        const uint32_t lNameLen = U16(b, l + 26), lExtraLen = U16(b, l + 28);
        EXPECT_EQ(lNameLen, nameLen);
        e.localExtra.assign(b.begin() + l + 30 + lNameLen, b.begin() + l + 30 + lNameLen + lExtraLen);
        const uint8_t* data = b.data() + l + 30 + lNameLen + lExtraLen;
        if (e.method == 0) e.content.assign(data, data + e.csize);
        else e.content = InflateRaw(data, e.csize, e.usize);
        entries.push_back(std::move(e));
    }
    EXPECT_EQ(p, end);
    return entries;
}

FakeFile MakeFile(std::vector<uint8_t> data, uint32_t attributes = 0x20, int64_t mtime = 1700000000) {
    FakeFile f;
    f.data = std::move(data);
    f.info.attributes = attributes;
    f.info.modifyTime = mtime;
    f.info.accessTime = mtime + 10;
    f.info.createTime = mtime - 10;
    return f;
}

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::vector<uint8_t> FakeExe(char a, char b) {
    std::vector<uint8_t> v(200, 0);
    v[0] = 'M';
    v[1] = 'Z';
    v[0x3C] = 0x80;
    v[0x80] = static_cast<uint8_t>(a);
    v[0x81] = static_cast<uint8_t>(b);
    return v;
}

TEST(ZipWriter, ArchiveLayoutAndEntryRecords) {
    FakeFiles fs;
    std::string log;
    for (int i = 0; i < 3000; ++i) log += "12:00:0" + std::to_string(i % 10) + ": UploadFile: start\n";
    // 2023-11-14 22:13:20 UTC; 12:34:57 on 2021-10-12 for the odd-second rounding.
    fs.files[L"log"] = MakeFile(Bytes(log));
    fs.files[L"empty"] = MakeFile({});
    fs.files[L"arch"] = MakeFile(Bytes("not really a zip"));
    fs.files[L"ro"] = MakeFile(Bytes("read only"), 0x21, 1634042097);
    fs.files[L"exe"] = MakeFile(FakeExe('P', 'E'));
    fs.files[L"notexe"] = MakeFile(FakeExe('X', 'E'));

    ZipHandle* h = CreateZipFile(L"out.zip", fs);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->mode, 2);
    ZipWriter* w = h->writer;
    EXPECT_EQ(w->Add(L"x.log", L"log", fs), kZipOk);
    EXPECT_EQ(w->Add(L"empty.txt", L"empty", fs), kZipOk);
    EXPECT_EQ(w->Add(L"logs.ZIP", L"arch", fs), kZipOk);
    EXPECT_EQ(w->Add(L"a\\b.txt", L"ro", fs), kZipOk);
    EXPECT_EQ(w->Add(L"curl.exe", L"exe", fs), kZipOk);
    EXPECT_EQ(w->Add(L"n\u00e4me\u20ac.bin", L"notexe", fs), kZipOk);
    EXPECT_EQ(w->Close(), kZipOk);
    EXPECT_TRUE(fs.archive.closed);
    w->Destroy();
    delete h;

    const std::vector<ReadEntry> e = ReadArchive(fs.archive.bytes);
    ASSERT_EQ(e.size(), 6u);
    const char* names[] = {"x.log", "empty.txt", "logs.ZIP", "a/b.txt", "curl.exe", "n\xc3\xa4me\xe2\x82\xac.bin"};
    const std::wstring sources[] = {L"log", L"empty", L"arch", L"ro", L"exe", L"notexe"};
    for (size_t i = 0; i < e.size(); ++i) {
        SCOPED_TRACE(names[i]);
        const FakeFile& src = fs.files[sources[i]];
        EXPECT_EQ(e[i].name, names[i]);
        EXPECT_EQ(e[i].madeBy, 0x0B17u);
        EXPECT_EQ(e[i].needed, 20u);
        EXPECT_TRUE(e[i].content == src.data);
        EXPECT_EQ(e[i].usize, src.data.size());
        EXPECT_EQ(e[i].crc, Crc32Update(0, src.data.data(), src.data.size()));
        // The local header was rewritten: no data-descriptor bit, the real CRC and size.
        EXPECT_EQ(e[i].localFlags, e[i].flags);
        EXPECT_EQ(e[i].localCrc, e[i].crc);
        EXPECT_EQ(e[i].localCsize, e[i].csize);
        const bool stored = i == 2;
        EXPECT_EQ(e[i].method, stored ? 0u : 8u);
        EXPECT_EQ(e[i].flags, stored ? 0u : 2u);
        // Extended time stamps: local has all three, central only the modification time.
        const int64_t m = src.info.modifyTime;
        std::vector<uint8_t> central = {'U', 'T', 5, 0, 7};
        for (int k = 0; k < 4; ++k) central.push_back(static_cast<uint8_t>(m >> (8 * k)));
        EXPECT_EQ(e[i].centralExtra, central);
        ASSERT_EQ(e[i].localExtra.size(), 17u);
        EXPECT_EQ(U16(e[i].localExtra, 2), 13u);
        EXPECT_EQ(e[i].localExtra[4], 7);
        EXPECT_EQ(U32(e[i].localExtra, 5), static_cast<uint32_t>(m));
        EXPECT_EQ(U32(e[i].localExtra, 9), static_cast<uint32_t>(m + 10));
        EXPECT_EQ(U32(e[i].localExtra, 13), static_cast<uint32_t>(m - 10));
    }
    EXPECT_LT(e[0].csize, e[0].usize / 10);
    EXPECT_EQ(e[1].csize, 2u);  // one empty final block
    EXPECT_EQ(e[1].crc, 0u);
    // Attributes: DOS ones low, a Unix mode high.
    EXPECT_EQ(e[0].extAttr, (0x8180u << 16) | 0x20);
    EXPECT_EQ(e[3].extAttr, (0x8100u << 16) | 0x21);  // read-only: not owner-writable
    EXPECT_EQ(e[4].extAttr, (0x81C0u << 16) | 0x20);  // executable
    EXPECT_EQ(e[5].extAttr, (0x8180u << 16) | 0x20);
    // 12:34:57 on 12 October 2021 (UTC).
    EXPECT_EQ(e[3].dosDateTime & 0xFFFF, (12u << 11) | (34u << 5) | 28u);
    EXPECT_EQ(e[3].dosDateTime >> 16, ((2021u - 1980) << 9) | (10u << 5) | 12u);
}

TEST(ZipWriter, ExecutableTest) {
    struct Case {
        const char* name;
        std::vector<uint8_t> data;
        bool exe;
    };
    std::vector<uint8_t> shortHeader = FakeExe('P', 'E');
    shortHeader.resize(0x80 + 52);  // header offset + 52 is not below the size
    std::vector<uint8_t> noMz = FakeExe('P', 'E');
    noMz[0] = 'X';
    std::vector<uint8_t> tiny = {'M', 'Z'};
    std::vector<uint8_t> peNonZero = FakeExe('P', 'E');
    peNonZero[0x82] = 1;
    const Case cases[] = {
        {"PE", FakeExe('P', 'E'), true}, {"NE", FakeExe('N', 'E'), true}, {"LE", FakeExe('L', 'E'), true},
        {"MZ", FakeExe('M', 'Z'), true}, {"other signature", FakeExe('Q', 'E'), false},
        {"header too near the end", shortHeader, false}, {"no MZ", noMz, false}, {"tiny", tiny, false},
        {"PE without zero bytes", peNonZero, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFiles fs;
        fs.files[L"f"] = MakeFile(c.data);
        ZipHandle* h = CreateZipFile(L"o", fs);
        ASSERT_EQ(h->writer->Add(L"f.bin", L"f", fs), kZipOk);
        h->writer->Close();
        h->writer->Destroy();
        delete h;
        const auto e = ReadArchive(fs.archive.bytes);
        ASSERT_EQ(e.size(), 1u);
        EXPECT_EQ((e[0].extAttr >> 16) & 0x40, c.exe ? 0x40u : 0u);
        EXPECT_TRUE(e[0].content == c.data);
    }
}

TEST(ZipWriter, ResultCodes) {
    struct Case {
        const char* name;
        std::function<void(FakeFiles&)> setup;
        std::function<void(FakeFiles&, ZipWriter&)> run;
    };
    const Case cases[] = {
        {"empty name", nullptr, [](FakeFiles& fs, ZipWriter& w) {
             EXPECT_EQ(w.Add(L"", L"a", fs), kZipBadArgument);
             EXPECT_EQ(GetLastZipResult(), kZipBadArgument);
             EXPECT_EQ(w.Add(L"a.txt", L"a", fs), kZipOk);  // still usable
         }},
        {"missing source", nullptr, [](FakeFiles& fs, ZipWriter& w) {
             EXPECT_EQ(w.Add(L"m.txt", L"missing", fs), kZipOpenFailed);
             EXPECT_EQ(w.Add(L"a.txt", L"a", fs), kZipOk);
         }},
        {"source grows while read", [](FakeFiles& fs) { fs.files[L"a"].growBy = 10; },
         [](FakeFiles& fs, ZipWriter& w) { EXPECT_EQ(w.Add(L"a.txt", L"a", fs), kZipSizeChanged); }},
        {"failed write, then unusable", [](FakeFiles& fs) { fs.archive.failWriteAfter = 40; },
         [](FakeFiles& fs, ZipWriter& w) {
             EXPECT_EQ(w.Add(L"a.txt", L"a", fs), kZipWriteFailed);
             EXPECT_EQ(w.Add(L"a.txt", L"a", fs), kZipUnusable);
             EXPECT_EQ(GetLastZipResult(), kZipUnusable);
         }},
        {"failed write of a stored entry", [](FakeFiles& fs) { fs.archive.failWriteAfter = 100; },
         [](FakeFiles& fs, ZipWriter& w) { EXPECT_EQ(w.Add(L"a.gz", L"a", fs), kZipWriteFailed); }},
        {"add after close", nullptr, [](FakeFiles& fs, ZipWriter& w) {
             EXPECT_EQ(w.Close(), kZipOk);
             EXPECT_EQ(w.Add(L"a.txt", L"a", fs), kZipClosed);
         }},
        {"failed seek back", [](FakeFiles& fs) { fs.archive.failSeekNumber = 0; },
         [](FakeFiles& fs, ZipWriter& w) {
             EXPECT_EQ(w.Add(L"a.txt", L"a", fs), kZipSeekFailed);
             EXPECT_EQ(w.Add(L"a.txt", L"a", fs), kZipUnusable);
         }},
        {"failed seek to the end", [](FakeFiles& fs) { fs.archive.failSeekNumber = 1; },
         [](FakeFiles& fs, ZipWriter& w) { EXPECT_EQ(w.Add(L"a.txt", L"a", fs), kZipSeekFailed); }},
        {"second close writes nothing", nullptr, [](FakeFiles& fs, ZipWriter& w) {
             EXPECT_EQ(w.Add(L"a.txt", L"a", fs), kZipOk);
             EXPECT_EQ(w.Close(), kZipOk);
             const auto size = fs.archive.bytes.size();
             const int writes = fs.archive.writes;
             EXPECT_EQ(w.Close(), kZipOk);
             EXPECT_EQ(fs.archive.bytes.size(), size);
             EXPECT_EQ(fs.archive.writes, writes);
             EXPECT_EQ(ReadArchive(fs.archive.bytes).size(), 1u);
         }},
        {"failed central directory write", nullptr, [](FakeFiles& fs, ZipWriter& w) {
             EXPECT_EQ(w.Add(L"a.txt", L"a", fs), kZipOk);
             fs.archive.failWriteAfter = static_cast<long>(fs.archive.bytes.size()) + 10;
             EXPECT_EQ(w.Close(), kZipWriteFailed);
             EXPECT_TRUE(fs.archive.closed);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFiles fs;
        fs.files[L"a"] = MakeFile(Bytes(std::string(5000, 'a') + "tail"));
        if (c.setup) c.setup(fs);
        ZipHandle* h = CreateZipFile(L"out.zip", fs);
        ASSERT_NE(h, nullptr);
        c.run(fs, *h->writer);
        h->writer->Close();
        h->writer->Destroy();
        delete h;
    }
    FakeFiles fs;
    EXPECT_EQ(CreateZipFile(L"", fs), nullptr);
    EXPECT_EQ(GetLastZipResult(), kZipOpenFailed);
    ZipHandle bad;
    EXPECT_EQ(ZipAdd(&bad, L"a", L"a"), kZipNotInitialised);
    EXPECT_EQ(ZipAdd(nullptr, L"a", L"a"), kZipNotInitialised);
}

TEST(ZipWriter, NamesAndMethods) {
    // A name of 300 "é" (600 UTF-8 bytes) is cut to whole characters within 259 bytes.
    const std::string longName = ZipEntryName(std::wstring(300, L'\u00e9'));
    EXPECT_EQ(longName.size(), 258u);
    EXPECT_EQ(ZipEntryName(std::wstring(300, L'a')).size(), 259u);
    // Three-byte characters: 86 fit (258 bytes).
    EXPECT_EQ(ZipEntryName(std::wstring(100, L'\u20ac')).size(), 258u);
    EXPECT_EQ(ZipEntryName(L"logs\\2024\\a.log"), "logs/2024/a.log");
    struct Case {
        const char* name;
        bool stored;
    };
    const Case cases[] = {{"a.zip", true}, {"A.ZIP", true}, {"x.Z", true}, {"x.z", true}, {"b.tar.gz", true},
                          {"c.TGZ", true}, {"d.arj", true}, {"e.lzh", true}, {"f.zoo", true}, {"g.arc", true},
                          {"zip", false}, {"a.zip.txt", false}, {"a.zipx", false}, {"x.log", false},
                          {"noext", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ZipStoresName(c.name), c.stored);
    }
}

TEST(ZipWriter, DosTimes) {
    struct Case {
        int64_t unix;
        uint32_t date, time;
    };
    const Case cases[] = {
        {1634042097, ((2021u - 1980) << 9) | (10u << 5) | 12u, (12u << 11) | (34u << 5) | 28u},
        {315532800, (0u << 9) | (1u << 5) | 1u, 0u},                               // 1980-01-01
        {951782400 + 86399, ((2000u - 1980) << 9) | (2u << 5) | 29u, (23u << 11) | (59u << 5) | 29u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.unix);
        EXPECT_EQ(ZipDosDateTime(c.unix), (c.date << 16) | c.time);
    }
}

// The archive through independent readers: the system's unzip and Python's zipfile.
#ifndef _WIN32
TEST(ZipWriter, RealFilesPassUnzipAndPython) {
    if (std::system("command -v unzip >/dev/null 2>&1 && command -v python3 >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "unzip or python3 missing";
    }
    char dirTemplate[] = "/tmp/zipwriterXXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    const std::string dir = dirTemplate;
    std::mt19937 rng(4);
    std::string random(1 << 20, '\0');
    for (auto& c : random) c = static_cast<char>(rng());
    std::string text;
    for (int i = 0; i < 20000; ++i) text += "12:34:56: HotkeysManager::EnableHandlers " + std::to_string(i % 97) + "\n";
    std::ofstream(dir + "/random.bin", std::ios::binary) << random;
    std::ofstream(dir + "/log.txt", std::ios::binary) << text;
    std::ofstream(dir + "/empty", std::ios::binary);
    ZipHandle* h = CreateZipFile(Utf8ToWide(dir + "/t.zip"));
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(ZipAdd(h, L"random.bin", Utf8ToWide(dir + "/random.bin")), kZipOk);
    EXPECT_EQ(ZipAdd(h, L"logs\\log.txt", Utf8ToWide(dir + "/log.txt")), kZipOk);
    EXPECT_EQ(ZipAdd(h, L"\u00fcber.txt", Utf8ToWide(dir + "/empty")), kZipOk);
    EXPECT_EQ(ZipClose(h), kZipOk);
    h->writer->Destroy();
    delete h;
    EXPECT_EQ(std::system(("unzip -tq " + dir + "/t.zip >/dev/null").c_str()), 0);
    const std::string py =
        "import zipfile,sys\n"
        "d=sys.argv[1]\n"
        "z=zipfile.ZipFile(d+'/t.zip')\n"
        "assert z.testzip() is None\n"
        "assert z.read('random.bin')==open(d+'/random.bin','rb').read()\n"
        "assert z.read('logs/log.txt')==open(d+'/log.txt','rb').read()\n"
        "i=z.getinfo('logs/log.txt')\n"
        "assert (i.compress_type,i.flag_bits,i.create_version,i.create_system,i.extract_version)==(8,2,0x17,11,20)\n"
        "assert i.compress_size*10<i.file_size\n"
        "r=z.getinfo('random.bin'); assert r.compress_size<=r.file_size*101//100\n";
    std::ofstream(dir + "/check.py") << py;
    EXPECT_EQ(std::system(("python3 " + dir + "/check.py " + dir).c_str()), 0);
    std::system(("rm -rf " + dir).c_str());
}
#endif

}  // namespace
