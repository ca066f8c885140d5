#include "loader/StatisticsPing.h"

#include "Common/StringFormatter.h"
#include "Platform/Environment.h"
#include "Platform/SystemInfo.h"
#include "Storage/WebTransfer.h"

namespace Volux {

namespace {

constexpr int _MAX_NAME_CHARS = 63;
const char16_t* const _CLIENT_VERSION = u"10006";

// Letters and digits pass; anything else becomes "_", and the name is cut to 63 characters.
WString FilteredName(const WString& name) {
    WString result;
    for (int i = 0; i < name.Length() && i < _MAX_NAME_CHARS; i++) {
        const char16_t ch = name[i];
        const bool plain = (ch >= u'0' && ch <= u'9') || (ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z');
        result.AppendChar(plain ? ch : u'_');
    }
    return result;
}

} // namespace

bool MicroClientMarkerSet() {
    WString value;
    if (!Environment::Get(u"[MICRO-CLIENT]", value))
        return false;
    // Hexadecimal text: any non-zero digit before the first other character counts.
    for (int i = 0; i < value.Length(); i++) {
        const char16_t ch = value[i];
        const bool digit = (ch >= u'0' && ch <= u'9') || (ch >= u'a' && ch <= u'f') || (ch >= u'A' && ch <= u'F');
        if (!digit)
            break;
        if (ch != u'0')
            return true;
    }
    return false;
}

StatisticsFacts CurrentStatisticsFacts(const char16_t* applicationName) {
    StatisticsFacts facts;
    facts.applicationName = applicationName != nullptr ? applicationName : u"";
    facts.microClient = MicroClientMarkerSet();
    facts.time = CurrentLocalTime();
    facts.versionCode = SystemInfo::VersionCode();
    facts.languageCode = SystemInfo::LanguageCode();
    facts.macAddress = SystemInfo::MacAddress();
    return facts;
}

WString StatisticsRequest(const char16_t* endpoint, const StatisticsFacts& facts) {
    const LocalTime& t = facts.time;
    WString query = Format(u"s?g=%ls&p=%c&v=%ls&l=%c&t=%d%02d%02d%02d%02d%02d&z=%d&m=%d&o=%d&y=%d&d=%ls",
                           FilteredName(facts.applicationName).Text(), facts.microClient ? u'm' : u'p',
                           _CLIENT_VERSION, u'd', int(t.year), int(t.month), int(t.day), int(t.hour), int(t.minute),
                           int(t.second), 0, 0, facts.versionCode, facts.languageCode, facts.macAddress.Text());
    WString address = endpoint != nullptr ? endpoint : u"";
    address += query.Text();
    return address;
}

StatisticsClient::~StatisticsClient() { Close(); }

void StatisticsClient::Close() {
    if (connection != nullptr)
        DestroyConnection(connection);
    connection = nullptr;
    busy = false;
}

void StatisticsClient::Send(const char16_t* address) {
    if (address == nullptr || address[0] == 0)
        return;
    if (connection == nullptr) {
        connection = CreateConnection(true);
        if (connection == nullptr)
            return;
    }
    WebRequest request;
    request.address = address;
    request.output = WebRequest::_DISCARD;
    request.connection = connection;
    if (Fetch(request))
        busy = true;
}

void StatisticsClient::Pump() {
    if (connection != nullptr && busy)
        busy = !PumpConnection(connection);
}

} // namespace Volux
