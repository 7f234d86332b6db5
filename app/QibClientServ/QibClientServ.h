#pragma once

#include <cstdint>

// The maker's client/server library. qbx(6) answers the database server's address (or
// "nil" for none), qbx(1) the establishment's name in the text codec's encoded form,
// any other argument empty text. The answers come from "QibClientServ.ini" in the data
// folder, read at each call: line 0 answers 6, line 1 answers 1; a missing file or line
// answers "nil" for 6 and empty text for 1. The text stays valid until the next call.
// The library's settings file in the data folder, as the program names it in its log.
inline constexpr char16_t kQibClientServSettingsFile[] = u"QibClientServ.ini";

extern "C" __attribute__((visibility("default"))) const char16_t* qbx(std::int32_t what);
