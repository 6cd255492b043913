// The settings file as the program loads and saves it, from any file contents. Loading must not
// fail, and loading what a save wrote must give every field back (nothing a save writes is lost).
// Everything happens in a temporary folder made the program's folder.
#include "FuzzInput.h"
#include "platform/ProgramFolder.h"
#include "settings/ConfigFields.h"
#include "settings/ConfigUnit.h"

#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <variant>

namespace {

const QTemporaryDir& Folder()
{
    static const QTemporaryDir folder;
    static const bool chosen = (platform::InitProgramFolder(folder.path()), true);
    (void)chosen;
    return folder;
}

bool SameFields(const settings::TConfig& a, const settings::TConfig& b)
{
    using namespace settings;
    for (const ConfigField& f : ConfigFields()) {
        if (const auto* text = std::get_if<TextMember>(&f.member)) {
            if (*text != &TConfig::Version && a.**text != b.**text)
                return false;
        } else if (const auto* number = std::get_if<IntegerMember>(&f.member)) {
            if (a.**number != b.**number)
                return false;
        } else {
            const ListMember list = std::get<ListMember>(f.member);
            if (*(a.*list) != *(b.*list))
                return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = Folder().filePath(QStringLiteral("Quillmap.ini"));
    {
        QFile file(path);
        fuzz::Check(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "the settings file can be made");
        fuzz::Check(file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) ==
                        static_cast<qint64>(size),
                    "the settings file can be written");
    }
    settings::TConfig loaded;
    settings::LoadSettings(loaded, nullptr);
    settings::SaveSettings(loaded, settings::SaveScope::All);
    settings::TConfig reloaded;
    settings::LoadSettings(reloaded, nullptr);
    fuzz::Check(SameFields(loaded, reloaded), "a saved settings file loads back the same fields");
    return 0;
}
