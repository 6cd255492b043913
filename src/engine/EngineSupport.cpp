#include "engine/EngineSupport.h"

#include "platform/Privileges.h"
#include "text/Sjis.h"

#include <QByteArray>
#include <QtGlobal>

namespace engine {

bool EngineBuilt()
{
    return true;
}

std::string EngineRefusal()
{
    if (platform::RunsAsAdministrator() && qgetenv("QTWEBENGINE_DISABLE_SANDBOX") != "1")
        return text::Sjis(u8"rootではﾌﾞﾗｳｻﾞｴﾝｼﾞﾝのｻﾝﾄﾞﾎﾞｯｸｽが動かないため、HTTPでｽﾃｰﾀｽﾍﾟｰｼﾞを読みます。"
                          u8"(QTWEBENGINE_DISABLE_SANDBOX=1で許可)");
    return {};
}

} // namespace engine
