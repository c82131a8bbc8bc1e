#pragma once

// True on Windows Vista and later (major version above 5); decides between the old
// and the new shell behaviours.
bool IsVistaOrLater();
