// A router's answer turned into the status page text: any bytes with any Content-Type (the first
// line of the input), through the charset choice, the conversion and the body cut.
#include "FuzzInput.h"
#include "core/StatusPageBody.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    const std::string_view contentType = input.Line();
    const std::string_view page = input.Rest();

    core::ConverterForCharset(core::CharsetFromContentType(contentType));
    core::ConverterForCharset(core::CharsetFromMeta(page));
    core::DetectPageEncoding(page);
    core::StatusBodyFromResponse(page, contentType);
    const std::string cut = core::ExtractBodyMarkup(page);
    fuzz::Check(cut.size() <= page.size(), "the body is part of the page");
    fuzz::Check(page.find(cut) != std::string_view::npos, "the body is a piece of the page");
    return 0;
}
