// Helpers shared by the udb tests: the shared test support, and UTF-8 views of wide strings for
// readable failure messages.
#pragma once

#include <string>

#include "test_support.h"

using kestrel_test::log_capture;

std::string utf8(const std::u16string& s);
