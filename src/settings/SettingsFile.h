#pragma once
// The settings file "karrow.ini": plain text, one value per line, lines ended
// by CR LF, in a fixed order:
//
//    1 PopHost      2 PopUserName   3 PopPassword (in clear)   4 SmtpHost
//    5 Email        6 UserName      7 NoticeSender             8 NoticeAddress
//    9 NoticePhone 10 MailDirectory
//   11 TimeOut as a decimal number with one blank before it (the sign place
//      of a non-negative number) and one blank after it: " 60 "
//
// Readers accept CR LF, LF or a lone CR as line end. A file with missing
// lines, over-long lines or stray bytes loads what it can: a line that is
// missing, longer than kMaxSettingsLine bytes or (line 11) not a whole number
// from 0 to 32767 leaves its field at the default (empty, time-out 0).
//
// The file lives where SettingsFilePath() says, and nowhere else.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "settings/MailSettings.h"

namespace zorvik {

inline constexpr std::string_view kSettingsFileName = "karrow.ini";
// Longest value a line may hold; a longer line is not loaded.
inline constexpr std::size_t kMaxSettingsLine = 4096;

// The settings file: "karrow.ini" in SettingsDirectory() (the program
// directory, or the per-user configuration directory when the program
// directory cannot be written).
std::filesystem::path SettingsFilePath();

// Fills every field of `settings` from the text of a settings file (line 10
// into MailDirectory), as described above. No defaults are applied.
void ParseSettings(std::string_view text, MailSettings& settings);

// The eleven lines as they are saved; line 10 is `mailDirectoryLine`.
std::string SettingsText(const MailSettings& settings, std::string_view mailDirectoryLine);

// Reads the file into `settings`. False, with `settings` unchanged, when the
// file does not exist, cannot be read or is empty.
bool LoadSettingsFile(const std::filesystem::path& file, MailSettings& settings);

// What start-up does after loading (whether or not the file was there): a
// time-out of 0 becomes 60, and one trailing "\" is taken off MailDirectory.
void ApplyLoadDefaults(MailSettings& settings);

// Replaces the file whole (never half-written), readable and writable by its
// owner only, since it holds the POP3 password. Line 10 is
// `mailDirectoryLine`. False, with the old file unchanged, when a value holds
// a line break or the file cannot be written.
bool SaveSettingsFile(const std::filesystem::path& file, const MailSettings& settings,
                      std::string_view mailDirectoryLine);

// A time-out as line 11 or the dialog's box holds it: a whole number from 0
// to 32767 with optional blanks around it; nothing for anything else.
std::optional<std::int16_t> ParseTimeOut(std::string_view text);

// True when `value` holds a CR or LF, which would shift every later line.
bool ValueHasLineBreak(std::string_view value);

}  // namespace zorvik
