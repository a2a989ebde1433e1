// The date and time as the user has chosen to see them: the short date and the long time format of
// the user's locale (Win32: the regional settings; POSIX: the environment's LC_TIME).
#pragma once
#include <ctime>
#include <string>

// "08.12.2026 05:40:04" for a German user, "12/8/2026 5:40:04 AM" for an American one.
std::string ShortDateLongTimeText(std::time_t time);
