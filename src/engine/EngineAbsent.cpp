// The program built without the browser engine: the status page is always read with the HTTP client.
#include "engine/EngineSupport.h"

#include "text/Sjis.h"

namespace engine {

bool EngineBuilt()
{
    return false;
}

std::string EngineRefusal()
{
    return text::Sjis(u8"このﾌﾟﾛｸﾞﾗﾑはﾌﾞﾗｳｻﾞｴﾝｼﾞﾝなしでﾋﾞﾙﾄﾞされているため、HTTPでｽﾃｰﾀｽﾍﾟｰｼﾞを読みます。");
}

} // namespace engine
