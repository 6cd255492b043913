// Base64 of the settings file: any text decodes without failing, and any bytes come back from their
// encoding unchanged (also with line breaks put into the encoded text).
#include "FuzzInput.h"
#include "text/jconvert.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string decoded = mail::Base64Decode(bytes);
    fuzz::Check(decoded.size() <= bytes.size(), "decoding never grows the text");

    const std::string encoded = mail::Base64Encode(bytes);
    fuzz::Check(encoded.size() == (bytes.size() + 2) / 3 * 4, "the encoding has its length");
    fuzz::Check(mail::Base64Decode(encoded) == bytes, "bytes come back from their encoding");
    std::string broken;
    for (std::size_t i = 0; i < encoded.size(); i += 76)
        broken += encoded.substr(i, 76) + "\r\n";
    fuzz::Check(mail::Base64Decode(broken) == bytes, "line breaks in the encoding are skipped");
    return 0;
}
