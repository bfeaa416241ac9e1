#pragma once

#include <QString>

// The rules of the registration and settings screens' typed values.
namespace SettingsInput {

// Shown as strong or weak only, never enforced. A new account's password: 7
// to 16 characters with a digit, a lower-case letter and an upper-case letter
// or a symbol; a changed one: 8 to 16 with a digit, a lower-case and an
// upper-case letter.
enum class PasswordRule { NewAccount, Change };
bool strongPassword(const QString &password, PasswordRule rule);

// The review link is kept only when it begins with the configured prefix.
bool reviewLinkAccepted(const QString &link, const QString &prefix);

// The beta option's code: exactly the configured one, never an empty one.
bool betaCodeAccepted(const QString &typed, const QString &code);

// Only web pages are handed to the desktop: a link comes from shared
// settings that any device of the account can write.
bool isWebPage(const QString &url);

} // namespace SettingsInput
