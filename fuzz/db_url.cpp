// Fuzzes reading a database URL given on the command line. A URL is read or
// refused with a usage error; no message about it ever holds its password.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "automation/text.h"
#include "cli/cli.h"
#include "cli/db_url.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string url(reinterpret_cast<const char*>(data), size);
  // The password as written: between the first ":" after "//" and the last
  // "@", when the URL has that shape and it is long enough to be told apart.
  std::string secret;
  size_t scheme = url.find("://");
  // Only a URL that starts with its scheme has a user part ("sqlite:" paths
  // may hold anything).
  for (size_t i = 0; scheme != std::string::npos && i < scheme; ++i)
    if (!std::isalpha(static_cast<unsigned char>(url[i]))) scheme = std::string::npos;
  if (scheme == 6 && tw::toLower(url.substr(0, 6)) == "sqlite") scheme = std::string::npos;
  if (scheme != std::string::npos) {
    size_t at = url.rfind('@');
    size_t colon = url.find(':', scheme + 3);
    // The user part ends before the path begins.
    size_t slash = url.find('/', scheme + 3);
    if (at != std::string::npos && colon != std::string::npos && colon < at && (slash == std::string::npos || slash > at))
      secret = url.substr(colon + 1, at - colon - 1);
  }
  // Only an unambiguous password is looked for: long enough and holding a
  // digit or a non-ASCII byte so that it cannot be taken from the messages'
  // own words, one "@" in the URL, no "/",
  // ":" or "*" in the password (the shown form is ":***@"), and its text
  // found once.
  const bool telling = secret.size() >= 16 && url.find(secret) == url.rfind(secret) &&
                       url.find('@') == url.rfind('@') &&
                       secret.find_first_of("/:*") == std::string::npos &&
                       std::any_of(secret.begin(), secret.end(), [](char c) {
                         // The fixed words of the messages hold neither.
                         return std::isdigit(static_cast<unsigned char>(c)) || static_cast<unsigned char>(c) >= 0x80;
                       });
  try {
    tw::cli::DbUrl u = tw::cli::parseUrl(url);
    check(u.type == "sqlite" || u.type == "mysql" || u.type == "postgresql" || u.type == "oracle");
    if (telling) check(tw::cli::describe(u).find(secret) == std::string::npos);
  } catch (const tw::cli::CliError& e) {
    check(e.code() == tw::cli::kExitUsage);
    // (The forms shown after "; use " are fixed text.)
    const std::string message = std::string(e.what()).substr(0, std::string(e.what()).rfind("; use "));
    if (telling) check(message.find(secret) == std::string::npos);
  }
  if (telling) check(tw::cli::redactedUrl(url).find(secret) == std::string::npos);
  return 0;
}
