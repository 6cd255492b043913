// The profile (INI) reader and writer on any file contents. The first line of the input is a value
// to write; the rest is the file. Whatever the file holds, a written value must read back as its
// stored form says, before and after the document is written out and read again.
#include "FuzzInput.h"
#include "platform/ProfileFile.h"

#include <string>

using platform::ProfileFile;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    const std::string value(input.Line());
    ProfileFile profile{QString()};
    profile.Parse(input.Rest());

    static constexpr const char* kKeys[][2] = {
        {"Config", "Interval"}, {"About", "Version"}, {"FTP", "Server"}, {"", ""}, {"config", "INTERVAL"}};
    for (const auto& [section, key] : kKeys) {
        const std::string text = profile.ReadString(section, key, "default");
        fuzz::Check(text.size() <= ProfileFile::kMaxValueBytes, "a read value is cut at the limit");
        profile.ReadInteger(section, key, -1);
        profile.HasValue(section, key);
    }

    const std::string expected = ProfileFile::DecodeValue(ProfileFile::EncodeValue(value));
    profile.WriteString("Config", "MailAddress", value);
    fuzz::Check(profile.ReadString("Config", "MailAddress", "?") == expected, "a written value reads back");
    profile.WriteInteger("FTP", "Port", static_cast<std::int32_t>(value.size()) - 5);
    fuzz::Check(profile.ReadInteger("FTP", "Port", 0) == static_cast<std::int32_t>(value.size()) - 5,
                "a written integer reads back");

    const std::string contents = profile.Contents();
    ProfileFile reread{QString()};
    reread.Parse(contents);
    fuzz::Check(reread.ReadString("Config", "MailAddress", "?") == expected,
                "a written value reads back from the saved document");
    fuzz::Check(reread.Contents() == contents, "reading a saved document and saving it changes nothing");
    return 0;
}
