// The Japanese code detection and conversions on any bytes, as mail texts and pages meet them.
#include "text/jconvert.h"
#include "FuzzInput.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    const std::uint8_t switches = input.Byte();
    const std::string_view text = input.Rest();

    const mail::JapaneseCode code = mail::DetectJapaneseCode(text);
    fuzz::Check(code >= mail::jcAscii && code <= mail::jcEucOrSjis, "the detected code is one of the codes");
    for (const mail::JapaneseCode target : {mail::jcSjis, mail::jcEuc, mail::jcJisB, mail::jcJisAt})
        mail::ConvertJapaneseCode(text, target);
    mail::EucToSjis(text);
    const std::string jis = mail::SjisToIso2022Jp(text);
    for (const char c : jis)
        fuzz::Check(static_cast<unsigned char>(c) < 0x80, "ISO-2022-JP is 7-bit");
    mail::EncodeHeaderText(text, "ISO-2022-JP", (switches & 1) ? 'Q' : 'B', switches & 2);

    const mail::LineBreakKind found = mail::DetectLineBreak(text);
    fuzz::Check(found >= mail::lbNone && found <= mail::lbLf, "the detected break is one of the kinds");
    const auto kind = static_cast<mail::LineBreakKind>(1 + switches % 3);
    const std::string converted = mail::ConvertLineBreaks(text, kind);
    fuzz::Check(found != mail::lbNone || converted == text, "a text without breaks stays as it is");
    return 0;
}
