// The start-up statistics record and the loader download's progress points. Requests are sent
// as HTTP GETs on a connection of their own whose transfers the loader tick advances one
// non-blocking step at a time; answers are never read and failures change nothing.
#pragma once

#include "Common/Base.h"
#include "Common/LocalTime.h"
#include "Common/WString.h"

namespace Volux {

struct WebConnection;

// Everything the record says, gathered apart from building it so the text can be checked for a
// fixed clock and machine.
struct StatisticsFacts {
    WString applicationName;  // as used for the install folder; filtered when built
    bool microClient = false;  // the "[MICRO-CLIENT]" marker is set and not 0
    LocalTime time = {};
    int versionCode = 0;
    int languageCode = 0;
    WString macAddress;
};

// The facts of this process and machine now.
StatisticsFacts CurrentStatisticsFacts(const char16_t* applicationName);

// endpoint + "s?g=...&p=...&v=10006&l=d&t=YYYYMMDDhhmmss&z=0&m=0&o=...&y=...&d=...".
WString StatisticsRequest(const char16_t* endpoint, const StatisticsFacts& facts);

// "m" for the marker's hexadecimal text when it is not 0, else "p".
bool MicroClientMarkerSet();

class StatisticsClient {
public:
    StatisticsClient() = default;
    ~StatisticsClient();
    StatisticsClient(const StatisticsClient&) = delete;
    StatisticsClient& operator=(const StatisticsClient&) = delete;

    // Queues a GET; nothing happens for an empty address or when no connection can be made.
    void Send(const char16_t* address);
    // One non-blocking step of the queued transfers.
    void Pump();
    // Drops what is still queued and closes the connection.
    void Close();
    // True while transfers are queued or running.
    bool Busy() const { return busy; }

private:
    WebConnection* connection = nullptr;
    bool busy = false;
};

} // namespace Volux
