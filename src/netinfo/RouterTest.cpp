#include "netinfo/RouterTest.h"

#include "text/Sjis.h"

namespace netinfo {

std::string RouterTestText(const TIpInfo& info)
{
    static constexpr const char* kBreak = "\r\n";
    if (!info.ErrorMessage.empty())
        return text::Sjis(u8"取得できませんでした。") + kBreak + kBreak + info.ErrorMessage;
    if (info.AdapterAddress.empty())
        return text::Sjis(u8"取得できませんでした。") + kBreak + kBreak +
               text::Sjis(u8"IPｱﾄﾞﾚｽのあるﾈｯﾄﾜｰｸｱﾀﾞﾌﾟﾀが見つかりませんでした。ﾙｰﾀのIPｱﾄﾞﾚｽを指定してください。");
    if (info.GatewayAddress.empty())
        return text::Sjis(u8"取得できませんでした。") + kBreak + kBreak + text::Sjis(u8"ｱﾀﾞﾌﾟﾀのIPｱﾄﾞﾚｽ: ") +
               info.AdapterAddress + kBreak +
               text::Sjis(u8"ﾙｰﾀ(ﾃﾞﾌｫﾙﾄｹﾞｰﾄｳｪｲ)が見つかりませんでした。ﾙｰﾀのIPｱﾄﾞﾚｽを指定してください。");
    return text::Sjis(u8"ｱﾀﾞﾌﾟﾀのIPｱﾄﾞﾚｽ: ") + info.AdapterAddress + kBreak + text::Sjis(u8"ﾙｰﾀのIPｱﾄﾞﾚｽ: ") +
           info.GatewayAddress + kBreak + kBreak +
           text::Sjis(u8"この結果が正しくない場合はIPｱﾄﾞﾚｽを指定してください。");
}

bool RouterTestFound(const TIpInfo& info)
{
    return info.ErrorMessage.empty() && !info.AdapterAddress.empty() && !info.GatewayAddress.empty();
}

} // namespace netinfo
