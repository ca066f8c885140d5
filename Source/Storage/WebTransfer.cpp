// The HTTP transfer layer on libcurl: connection handles, synchronous and background
// transfers, multi-handle transfers advanced by PumpConnection, redirects, ranges and resume.
//
// Every transfer runs on a multi handle, also a synchronous Fetch: driving the handle in
// short polls lets the loop see an abort request within _POLL_MS even while the server sends
// nothing (curl_easy_perform would only call the progress function about once a second).
#include "Storage/WebTransfer.h"

#include <curl/curl.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "Common/Array.h"
#include "Common/Log.h"
#include "Common/Memory.h"
#include "Common/StringEncoding.h"
#include "Common/StringFormatter.h"
#include "Platform/File.h"
#include "Platform/Thread.h"
#include "Platform/WorkerThread.h"
#include "Storage/WebCertificate.h"
#include "Storage/WebProxy.h"

namespace Volux {

namespace {

constexpr long _CONNECT_TIMEOUT_SECONDS = 5;
// A body slower than this many bytes per second for _LOW_SPEED_SECONDS is dropped, so a
// server that stops sending never holds a transfer for ever.
constexpr long _LOW_SPEED_BYTES = 1;
constexpr long _LOW_SPEED_SECONDS = 10;
constexpr int _MAX_REDIRECTS = 8;
// A redirect target longer than this is refused (no server of ours sends one).
constexpr size_t _MAX_LOCATION_BYTES = 8192;
// Buffer outputs larger than this fail instead of exhausting the address space.
constexpr int64_t _MAX_BUFFER_BYTES = int64_t(512) << 20;
// First reservation for a buffer output when the length is announced; it grows by doubling,
// so a lying Content-Length costs no more than this.
constexpr int64_t _MAX_RESERVE_BYTES = int64_t(16) << 20;
constexpr long _RECEIVE_BUFFER_BYTES = 256 * 1024;
constexpr int _POLL_MS = 50;
constexpr float _ALMOST_DONE = 0.9999f;
constexpr char _USER_AGENT[] = "libcurl-agent/1.0";

bool GlobalInit() {
    // Thread-safe once: the first connection of the process initialises libcurl.
    static const bool ready = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
    return ready;
}

// UTF-8 copy of an engine text, freed on scope exit.
class Utf8Text {
public:
    explicit Utf8Text(const char16_t* text) : mText(WideToUtf8(nullptr, 0, NonNull(text))) {}
    ~Utf8Text() { MemFree(mText); }
    Utf8Text(const Utf8Text&) = delete;
    Utf8Text& operator=(const Utf8Text&) = delete;
    const char* Get() const { return mText != nullptr ? mText : ""; }

private:
    char* mText;
};

WString WideFromUtf8(const char* text, size_t length) {
    char16_t* wide = Utf8ToWide(nullptr, 0, text, int(length));
    WString result(wide);
    MemFree(wide);
    return result;
}

// Case-insensitive test for "Name:" at the start of a header line; sets value past the colon.
bool HeaderIs(const char* line, size_t length, const char* name, const char** value) {
    size_t n = strlen(name);
    if (length <= n || line[n] != ':')
        return false;
    for (size_t i = 0; i < n; i++)
        if (Text::FoldByte(line[i]) != Text::FoldByte(name[i]))
            return false;
    const char* p = line + n + 1;
    while (p < line + length && (*p == ' ' || *p == '\t'))
        p++;
    *value = p;
    return true;
}

// Reads decimal digits (at most 18, so the value fits); false when there are none or more.
bool ReadNumber(const char*& p, const char* end, int64_t& value) {
    value = 0;
    int digits = 0;
    while (p < end && *p >= '0' && *p <= '9') {
        if (++digits > 18)
            return false;
        value = value * 10 + (*p - '0');
        p++;
    }
    return digits > 0;
}

struct RedirectEntry {
    WString address;
    WString targets[_MAX_REDIRECTS];
    int count = 0;
};

} // namespace

// One transfer request in flight: the request, its output state and what the answer said.
struct Transfer {
    WebRequest* request = nullptr;
    WebConnection* connection = nullptr;
    bool ownsRequest = false;  // queued copies on multi connections

    // The range asked for: first byte and last byte (-1 = to the end); none when !rangeAsked.
    bool rangeAsked = false;
    int64_t rangeFirst = 0;
    int64_t rangeLast = -1;
    int64_t presentCounted = 0;

    // The current answer, reset by every status line.
    long status = 0;
    bool headersDone = false;
    int64_t contentLength = -1;
    bool haveContentRange = false;
    int64_t answerFirst = -1, answerLast = -1, answerTotal = -1;
    // Set once the headers of a 2xx answer were checked: its body is delivered.
    bool accepted = false;
    // The answer was refused (logged); the transfer fails.
    bool refused = false;
    bool aborted = false;
    bool outputFailed = false;
    int64_t expected = -1;  // body bytes of the accepted answer, -1 unknown
    int64_t delivered = 0;

    File file;
    bool fileOpened = false;
    _byte* data = nullptr;
    int64_t dataSize = 0;
    int64_t dataCapacity = 0;

    WString address;  // after the redirect table
    bool secure = false;  // https: the server certificate is checked before the request goes out
    char errorText[CURL_ERROR_SIZE] = {};

    ~Transfer() {
        MemFree(data);
        if (ownsRequest)
            delete request;
    }
};

struct WebConnection {
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    bool headersApplied = false;
    Array<RedirectEntry> redirects;
    // Drives every transfer of the connection; PumpConnection's queue when queued is true.
    CURLM* multi = nullptr;
    bool queued = false;
    Transfer* running = nullptr;
    Array<WebRequest*> pending;
};

struct WebBackgroundFetch {
    WebRequest request;
    WorkerThread* worker = nullptr;
    volatile int state = _FETCH_RUNNING;
};

namespace {

void SetProgress(const WebRequest& request, float value) {
    if (request.progress != nullptr)
        AtomicExchangeFloat(request.progress, value);
}

bool AbortRequested(Transfer& t) {
    WorkerThread* source = t.request->abortSource;
    if (source == nullptr || !source->IsStopRequested())
        return false;
    if (!t.aborted) {
        t.aborted = true;
        PrintLine(u"[WS] Web download aborted at thread 0x%p", reinterpret_cast<void*>(uintptr_t(source->ThreadId())));
    }
    return true;
}

// -- the redirect table --------------------------------------------------------------------

RedirectEntry* FindRedirects(WebConnection* connection, const WString& address) {
    for (_dword i = 0; i < connection->redirects.Count(); i++)
        if (connection->redirects[i].address == address)
            return &connection->redirects[i];
    return nullptr;
}

WString ResolveAddress(WebConnection* connection, const WString& address) {
    RedirectEntry* entry = FindRedirects(connection, address);
    return entry != nullptr && entry->count > 0 ? entry->targets[entry->count - 1] : address;
}

bool IsHttpAddress(const char* url) {
    return strncmp(url, "http://", 7) == 0 || strncmp(url, "https://", 8) == 0 || strncmp(url, "HTTP://", 7) == 0 ||
           strncmp(url, "HTTPS://", 8) == 0;
}

// Records the target of a redirect answer for the request's address; false (logged) when the
// target is unusable or the address has used up its redirects.
bool RecordRedirect(Transfer& t) {
    const WebRequest& request = *t.request;
    char* location = nullptr;
    curl_easy_getinfo(t.connection->easy, CURLINFO_REDIRECT_URL, &location);
    if (location == nullptr || location[0] == 0) {
        PrintBoth(u"[WS] Redirect without a target : %ls (%d)", request.address.Text(), int(t.status));
        return false;
    }
    size_t length = strlen(location);
    if (length > _MAX_LOCATION_BYTES) {
        PrintBoth(u"[WS] Redirect target too long : %ls (%u bytes)", request.address.Text(), unsigned(length));
        return false;
    }
    if (!IsHttpAddress(location)) {
        WString target = WideFromUtf8(location, length);
        PrintBoth(u"[WS] Redirect to another scheme refused : %ls -> %ls", request.address.Text(), target.Text());
        return false;
    }
    RedirectEntry* entry = FindRedirects(t.connection, request.address);
    if (entry == nullptr) {
        RedirectEntry fresh;
        fresh.address = request.address;
        entry = &t.connection->redirects.Append(std::move(fresh));
        if (entry->address != request.address)
            return false;  // out of memory, reported by the array
    }
    if (entry->count >= _MAX_REDIRECTS) {
        PrintBoth(u"[WS] Too many redirects : %ls", request.address.Text());
        return false;
    }
    entry->targets[entry->count++] = WideFromUtf8(location, length);
    return true;
}

// -- answers -------------------------------------------------------------------------------

void ResetAnswer(Transfer& t) {
    t.status = 0;
    t.headersDone = false;
    t.contentLength = -1;
    t.haveContentRange = false;
    t.answerFirst = t.answerLast = t.answerTotal = -1;
    t.accepted = false;
    t.expected = -1;
}

// "bytes first-last/total" or "bytes first-last/*".
bool ParseContentRange(Transfer& t, const char* p, const char* end) {
    if (end - p < 6 || strncmp(p, "bytes", 5) != 0)
        return false;
    p += 5;
    while (p < end && *p == ' ')
        p++;
    int64_t first, last, total = -1;
    if (!ReadNumber(p, end, first) || p >= end || *p++ != '-' || !ReadNumber(p, end, last) || p >= end || *p++ != '/')
        return false;
    if (p < end && *p == '*')
        p++;
    else if (!ReadNumber(p, end, total))
        return false;
    t.answerFirst = first;
    t.answerLast = last;
    t.answerTotal = total;
    return true;
}

void Refuse(Transfer& t, const char16_t* why) {
    t.refused = true;
    PrintBoth(u"[WS] %ls : %ls (%d)", why, t.request->address.Text(), int(t.status));
}

// Decides, once the headers of an answer are in, whether its body may be delivered.
void CheckAnswer(Transfer& t) {
    if (t.status < 200 || t.status > 299)
        return;  // redirects, errors and interim answers deliver nothing
    if (t.rangeAsked) {
        bool fits = t.status == 206 && t.haveContentRange && t.answerFirst == t.rangeFirst &&
                    t.answerLast >= t.answerFirst && (t.rangeLast < 0 || t.answerLast <= t.rangeLast) &&
                    (t.answerTotal < 0 || t.answerLast < t.answerTotal);
        if (!fits) {
            Refuse(t, u"Range answer does not match the request");
            return;
        }
        t.expected = t.answerLast - t.answerFirst + 1;
        if (t.contentLength >= 0 && t.contentLength != t.expected) {
            Refuse(t, u"Range answer with a mismatched length");
            return;
        }
    } else {
        if (t.status == 206) {
            Refuse(t, u"Partial answer to a whole request");
            return;
        }
        t.expected = t.contentLength;
    }
    if (t.request->output == WebRequest::_BUFFER && t.expected > _MAX_BUFFER_BYTES) {
        Refuse(t, u"Body too large for memory");
        return;
    }
    t.accepted = true;
}

size_t OnHeader(char* line, size_t size, size_t count, void* user) {
    Transfer& t = *static_cast<Transfer*>(user);
    size_t length = size * count;
    const char* end = line + length;
    if (length >= 5 && strncmp(line, "HTTP/", 5) == 0) {
        ResetAnswer(t);
        const char* p = static_cast<const char*>(memchr(line, ' ', length));
        int64_t code = 0;
        if (p != nullptr) {
            p++;
            ReadNumber(p, end, code);
        }
        t.status = long(code);
        return length;
    }
    if (t.headersDone)
        return length;  // trailers
    if (length <= 2 && (line[0] == '\r' || line[0] == '\n')) {
        t.headersDone = true;
        CheckAnswer(t);
        return length;
    }
    const char* value = nullptr;
    if (HeaderIs(line, length, "Content-Length", &value)) {
        int64_t n;
        t.contentLength = ReadNumber(value, end, n) ? n : -1;
    } else if (HeaderIs(line, length, "Content-Range", &value)) {
        t.haveContentRange = ParseContentRange(t, value, end);
    }
    return length;
}

// The host of "scheme://[user@]host[:port]/..." (a bracketed IPv6 host without brackets).
WString HostOf(const WString& address) {
    int start = address.FindText(u"://");
    start = start < 0 ? 0 : start + 3;
    int stop = start;
    while (address[stop] != 0 && address[stop] != u'/' && address[stop] != u'?' && address[stop] != u'#')
        stop++;
    WString authority = address.Substring(start, stop - start);
    int at = authority.FindLastChar(u'@');
    if (at >= 0)
        authority.Remove(0, at + 1);
    if (authority[0] == u'[') {
        int close = authority.FindChar(u']');
        return authority.Substring(1, close > 0 ? close - 1 : -1);
    }
    int port = authority.FindChar(u':');
    return port >= 0 ? authority.Substring(0, port) : authority;
}

// Called once the connection (and its TLS session) is up, before the request is sent.
int OnConnected(void* user, char*, char*, int, int) {
    Transfer& t = *static_cast<Transfer*>(user);
    if (!t.secure)
        return CURL_PREREQFUNC_OK;
    const curl_tlssessioninfo* session = nullptr;
    curl_easy_getinfo(t.connection->easy, CURLINFO_TLS_SSL_PTR, &session);
    const char16_t* why = u"";
    WString host = HostOf(t.address);
    if (VerifyServerCertificate(session, host, &why))
        return CURL_PREREQFUNC_OK;
    t.refused = true;
    PrintBoth(u"[WS] Server certificate refused : %ls (%ls)", t.request->address.Text(), why);
    return CURL_PREREQFUNC_ABORT;
}

// -- outputs -------------------------------------------------------------------------------

bool GrowData(Transfer& t, int64_t needed) {
    if (needed <= t.dataCapacity)
        return true;
    if (needed > _MAX_BUFFER_BYTES)
        return false;
    int64_t capacity = t.dataCapacity > 0 ? t.dataCapacity : 64 * 1024;
    while (capacity < needed)
        capacity *= 2;
    if (capacity > _MAX_BUFFER_BYTES)
        capacity = _MAX_BUFFER_BYTES;
    _byte* block = static_cast<_byte*>(MemAlloc(size_t(capacity)));
    if (block == nullptr)
        return false;
    if (t.dataSize > 0)
        memcpy(block, t.data, size_t(t.dataSize));
    MemFree(t.data);
    t.data = block;
    t.dataCapacity = capacity;
    return true;
}

bool OpenFile(Transfer& t) {
    const WebRequest& request = *t.request;
    bool resuming = t.presentCounted > 0;
    bool opened = resuming ? t.file.Open(request.filePath, File::_UPDATE) && t.file.SetSize(_qword(t.presentCounted)) &&
                                 t.file.Seek(_qword(t.presentCounted))
                           : t.file.Open(request.filePath, File::_CREATE);
    if (!opened) {
        t.file.Close();
        PrintBoth(u"[WS] Can not write the download to %ls", request.filePath.Text());
        return false;
    }
    t.fileOpened = true;
    return true;
}

bool Deliver(Transfer& t, const _byte* bytes, _dword length) {
    WebRequest& request = *t.request;
    switch (request.output) {
    case WebRequest::_BUFFER:
        if (t.dataCapacity == 0 && t.expected > 0 &&
            !GrowData(t, t.expected < _MAX_RESERVE_BYTES ? t.expected : _MAX_RESERVE_BYTES))
            break;
        if (!GrowData(t, t.dataSize + length))
            break;
        memcpy(t.data + t.dataSize, bytes, length);
        t.dataSize += length;
        return true;
    case WebRequest::_FILE:
        if (!t.fileOpened && !OpenFile(t))
            return false;
        if (t.file.Write(bytes, length))
            return true;
        PrintBoth(u"[WS] Can not write the download to %ls", request.filePath.Text());
        return false;
    case WebRequest::_STREAM:
        if (request.stream != nullptr)
            request.stream(bytes, length, _qword(t.delivered), request.streamArgument1, request.streamArgument2);
        return true;
    default:
        return true;
    }
    PrintBoth(u"[WS] Body too large for memory : %ls", request.address.Text());
    return false;
}

size_t OnBody(char* bytes, size_t size, size_t count, void* user) {
    Transfer& t = *static_cast<Transfer*>(user);
    size_t length = size * count;
    if (t.refused || t.outputFailed)
        return 0;
    if (!t.accepted)
        return length;  // not a 2xx answer: read and dropped
    if (t.expected >= 0 && t.delivered + int64_t(length) > t.expected) {
        Refuse(t, u"Body longer than announced");
        return 0;
    }
    if (!Deliver(t, reinterpret_cast<const _byte*>(bytes), _dword(length))) {
        t.outputFailed = true;
        return 0;
    }
    t.delivered += int64_t(length);
    return length;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    Transfer& t = *static_cast<Transfer*>(user);
    if (AbortRequested(t))
        return 1;
    if (t.accepted && t.expected > 0) {
        double fraction = double(t.presentCounted + t.delivered) / double(t.expected + t.presentCounted);
        SetProgress(*t.request, fraction < _ALMOST_DONE ? float(fraction) : _ALMOST_DONE);
    }
    return 0;
}

// Hands the collected output over; for a buffer also after a failure (what arrived).
void FinishOutput(Transfer& t, bool ok) {
    WebRequest& request = *t.request;
    if (request.output == WebRequest::_BUFFER && request.buffer != nullptr) {
        request.buffer->Reset();
        if (t.dataSize > 0) {
            request.buffer->data = t.data;
            request.buffer->size = _dword(t.dataSize);
            request.buffer->cursor = t.data;
            t.data = nullptr;
            t.dataSize = t.dataCapacity = 0;
        }
    } else if (request.output == WebRequest::_FILE) {
        // An empty body still leaves its (empty) file behind.
        if (ok && !t.fileOpened)
            OpenFile(t);
        t.file.Close();
        t.fileOpened = false;
    }
}

// -- one attempt ---------------------------------------------------------------------------

// Sets every option of the easy handle for the next attempt of the transfer.
bool Configure(Transfer& t) {
    WebConnection* connection = t.connection;
    WebRequest& request = *t.request;
    CURL* easy = connection->easy;
    ResetAnswer(t);
    t.refused = t.outputFailed = false;
    t.delivered = 0;
    t.errorText[0] = 0;

    if (!connection->headersApplied) {
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, connection->headers);
        connection->headersApplied = true;
    }
    t.address = ResolveAddress(connection, request.address);
    t.secure = t.address.StartsWith(u"https://", false);
    Utf8Text url(t.address);
    curl_easy_setopt(easy, CURLOPT_URL, url.Get());  // libcurl copies option texts
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, _CONNECT_TIMEOUT_SECONDS);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, _LOW_SPEED_BYTES);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, _LOW_SPEED_SECONDS);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT, TransferTimeoutSeconds(request.timeout));
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, _RECEIVE_BUFFER_BYTES);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, t.errorText);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(easy, CURLOPT_PRIVATE, &t);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &OnConnected);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, &t);
    bool watch = request.progress != nullptr || request.abortSource != nullptr;
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, watch ? 0L : 1L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &OnProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &t);
    if (request.cookie.IsEmpty()) {
        curl_easy_setopt(easy, CURLOPT_COOKIE, static_cast<char*>(nullptr));
    } else {
        Utf8Text cookie(request.cookie);
        curl_easy_setopt(easy, CURLOPT_COOKIE, cookie.Get());
    }

    WString proxies, bypass;
    if (SystemProxySetting(proxies, bypass)) {
        Utf8Text proxy(PickProxy(proxies, bypass, t.address));
        curl_easy_setopt(easy, CURLOPT_PROXY, proxy.Get());  // "" = direct, whatever the environment says
    } else {
        curl_easy_setopt(easy, CURLOPT_PROXY, static_cast<char*>(nullptr));
    }

    // start = begin, plus what the file already holds; open-ended from a non-zero start
    // resumes, a bounded one asks for [start, end).
    curl_easy_setopt(easy, CURLOPT_RANGE, static_cast<char*>(nullptr));
    curl_easy_setopt(easy, CURLOPT_RESUME_FROM_LARGE, curl_off_t(0));
    t.rangeAsked = false;
    t.presentCounted = 0;
    if (request.begin >= 0) {
        t.presentCounted = request.present > 0 ? request.present : 0;
        int64_t start = request.begin + t.presentCounted;
        if (request.end < 0) {
            if (start > 0) {
                curl_easy_setopt(easy, CURLOPT_RESUME_FROM_LARGE, curl_off_t(start));
                t.rangeAsked = true;
                t.rangeFirst = start;
                t.rangeLast = -1;
            }
        } else if (start < request.end) {
            char range[64];
            snprintf(range, sizeof(range), "%lld-%lld", static_cast<long long>(start),
                     static_cast<long long>(request.end - 1));
            curl_easy_setopt(easy, CURLOPT_RANGE, range);
            t.rangeAsked = true;
            t.rangeFirst = start;
            t.rangeLast = request.end - 1;
        } else {
            PrintBoth(u"[WS] Empty range requested : %ls (%lld-%lld)", request.address.Text(),
                      static_cast<long long>(start), static_cast<long long>(request.end));
            return false;
        }
    }
    return true;
}

enum Step { _DONE_OK, _DONE_FAILED, _AGAIN };

// What an ended attempt means: follow a redirect, or finish the transfer.
Step Conclude(Transfer& t, CURLcode code) {
    WebRequest& request = *t.request;
    long status = 0;
    curl_easy_getinfo(t.connection->easy, CURLINFO_RESPONSE_CODE, &status);
    t.status = status;
    if (code == CURLE_OK && (status == 301 || status == 302 || status == 303)) {
        if (RecordRedirect(t))
            return _AGAIN;
        t.refused = true;
    }
    bool ok = code == CURLE_OK && status >= 200 && status <= 299 && t.accepted && !t.refused && !t.outputFailed;
    if (ok && t.expected >= 0 && t.delivered != t.expected) {
        PrintBoth(u"[WS] Body shorter than announced : %ls (%lld of %lld)", request.address.Text(),
                  static_cast<long long>(t.delivered), static_cast<long long>(t.expected));
        ok = false;
    }
    if (!ok && !t.refused && !t.outputFailed && !t.aborted) {
        if (code != CURLE_OK) {
            const char* why = t.errorText[0] != 0 ? t.errorText : curl_easy_strerror(code);
            WString text = WideFromUtf8(why, strlen(why));
            PrintBoth(u"[WS] Web download failed : %ls (%d, %ls)", request.address.Text(), int(code), text.Text());
        } else if (status < 200 || status > 299) {
            PrintBoth(u"[WS] Web download failed : %ls (%d)", request.address.Text(), int(status));
        }
    }
    FinishOutput(t, ok);
    request.responseCode = int(status);
    request.received = t.delivered;
    // The handle must not keep pointing into a transfer that is about to end.
    curl_easy_setopt(t.connection->easy, CURLOPT_ERRORBUFFER, static_cast<char*>(nullptr));
    // Last: a reader that sees 1.0 may take the outputs at once.
    SetProgress(request, ok ? 1.0f : 0.0f);
    return ok ? _DONE_OK : _DONE_FAILED;
}

// "%ls:%d" of an address and port, or "NA".
WString Endpoint(const char* ip, long port) {
    if (ip == nullptr || ip[0] == 0)
        return WString(u"NA");
    WString wide = WideFromUtf8(ip, strlen(ip));
    return Format(u"%ls:%d", wide.Text(), int(port));
}

bool PerformOn(Transfer& t) {
    WebConnection* connection = t.connection;
    for (;;) {
        if (!Configure(t)) {
            SetProgress(*t.request, 0.0f);
            return false;
        }
        CURLcode code = CURLE_OK;
        if (curl_multi_add_handle(connection->multi, connection->easy) != CURLM_OK) {
            PrintBoth(u"[WS] Web download failed : %ls (can not start)", t.request->address.Text());
            SetProgress(*t.request, 0.0f);
            return false;
        }
        for (;;) {
            int running = 0;
            if (curl_multi_perform(connection->multi, &running) != CURLM_OK) {
                code = CURLE_FAILED_INIT;
                break;
            }
            int left = 0;
            CURLMsg* message = curl_multi_info_read(connection->multi, &left);
            if (message != nullptr && message->msg == CURLMSG_DONE) {
                code = message->data.result;
                break;
            }
            if (AbortRequested(t)) {
                code = CURLE_ABORTED_BY_CALLBACK;
                break;
            }
            curl_multi_poll(connection->multi, nullptr, 0, _POLL_MS, nullptr);
        }
        curl_multi_remove_handle(connection->multi, connection->easy);
        Step step = Conclude(t, code);
        if (step != _AGAIN)
            return step == _DONE_OK;
    }
}

// -- queued transfers of multi connections ------------------------------------------------

void StartNext(WebConnection* connection) {
    while (connection->running == nullptr && connection->pending.Count() > 0) {
        WebRequest* request = connection->pending[0];
        connection->pending.Remove(0);
        Transfer* t = new (std::nothrow) Transfer();
        if (t == nullptr) {
            delete request;
            PrintBoth(u"[KL] Out of memory");
            continue;
        }
        t->request = request;
        t->ownsRequest = true;
        t->connection = connection;
        if (!Configure(*t) || curl_multi_add_handle(connection->multi, connection->easy) != CURLM_OK) {
            SetProgress(*request, 0.0f);
            delete t;
            continue;
        }
        connection->running = t;
    }
}

} // namespace

long TransferTimeoutSeconds(int milliseconds) {
    if (milliseconds <= 0)
        return 0;
    long seconds = milliseconds / 1000;
    return seconds < 1 ? 1 : seconds;
}

WebConnection* CreateConnection(bool withMulti) {
    if (!GlobalInit()) {
        PrintBoth(u"[WS] libcurl could not be initialised");
        return nullptr;
    }
    WebConnection* connection = new (std::nothrow) WebConnection();
    if (connection == nullptr) {
        PrintBoth(u"[KL] Out of memory");
        return nullptr;
    }
    connection->easy = curl_easy_init();
    connection->multi = curl_multi_init();
    connection->queued = withMulti;
    connection->headers = curl_slist_append(nullptr, "Accept: */*");
    if (connection->headers != nullptr) {
        curl_slist* more = curl_slist_append(connection->headers, "Connection: Keep-Alive");
        if (more != nullptr)
            connection->headers = more;
    }
    if (connection->easy == nullptr || connection->multi == nullptr || connection->headers == nullptr) {
        PrintBoth(u"[WS] Can not create a connection");
        DestroyConnection(connection);
        return nullptr;
    }
    curl_easy_setopt(connection->easy, CURLOPT_USERAGENT, _USER_AGENT);
    curl_easy_setopt(connection->easy, CURLOPT_CONNECTTIMEOUT, _CONNECT_TIMEOUT_SECONDS);
    return connection;
}

void DestroyConnection(WebConnection* connection) {
    if (connection == nullptr)
        return;
    if (connection->running != nullptr) {
        curl_multi_remove_handle(connection->multi, connection->easy);
        SetProgress(*connection->running->request, 0.0f);
        delete connection->running;
    }
    for (_dword i = 0; i < connection->pending.Count(); i++)
        delete connection->pending[i];
    if (connection->easy != nullptr)
        curl_easy_cleanup(connection->easy);
    if (connection->multi != nullptr)
        curl_multi_cleanup(connection->multi);
    curl_slist_free_all(connection->headers);
    delete connection;
}

bool AddConnectionHeader(WebConnection* connection, const char16_t* line) {
    if (connection == nullptr)
        return false;
    Utf8Text text(line);
    curl_slist* more = curl_slist_append(connection->headers, text.Get());
    if (more == nullptr)
        return false;
    connection->headers = more;
    connection->headersApplied = false;
    return true;
}

bool Fetch(WebRequest& request) {
    WebConnection* connection = request.connection;
    if (connection != nullptr && connection->queued) {
        WebRequest* copy = new (std::nothrow) WebRequest(request);
        if (copy == nullptr || connection->pending.Append(copy) != copy) {
            PrintBoth(u"[KL] Out of memory");
            delete copy;
            return false;
        }
        StartNext(connection);
        return true;
    }
    if (IsUIThread()) {
        PrintBoth(u"[WS] Web download refused on the UI thread : %ls", request.address.Text());
        SetProgress(request, 0.0f);
        return false;
    }
    bool temporary = connection == nullptr;
    if (temporary) {
        connection = CreateConnection(false);
        if (connection == nullptr) {
            SetProgress(request, 0.0f);
            return false;
        }
    }
    Transfer t;
    t.request = &request;
    t.connection = connection;
    bool ok = PerformOn(t);
    if (temporary) {
        char* localIp = nullptr;
        char* remoteIp = nullptr;
        long localPort = 0, remotePort = 0;
        curl_easy_getinfo(connection->easy, CURLINFO_LOCAL_IP, &localIp);
        curl_easy_getinfo(connection->easy, CURLINFO_LOCAL_PORT, &localPort);
        curl_easy_getinfo(connection->easy, CURLINFO_PRIMARY_IP, &remoteIp);
        curl_easy_getinfo(connection->easy, CURLINFO_PRIMARY_PORT, &remotePort);
        WString local = Endpoint(localIp, localPort);
        WString remote = Endpoint(remoteIp, remotePort);
        PrintLine(u"[WS] Web download finish : %ls <-> %ls (%d)", local.Text(), remote.Text(), request.responseCode);
        DestroyConnection(connection);
    }
    return ok;
}

bool PumpConnection(WebConnection* connection) {
    if (connection == nullptr || !connection->queued)
        return true;
    StartNext(connection);
    if (connection->running == nullptr)
        return true;
    int running = 0;
    curl_multi_perform(connection->multi, &running);
    int left = 0;
    CURLMsg* message;
    while ((message = curl_multi_info_read(connection->multi, &left)) != nullptr) {
        if (message->msg != CURLMSG_DONE || connection->running == nullptr)
            continue;
        Transfer* t = connection->running;
        CURLcode code = message->data.result;
        curl_multi_remove_handle(connection->multi, connection->easy);
        Step step = Conclude(*t, code);
        if (step == _AGAIN && Configure(*t) && curl_multi_add_handle(connection->multi, connection->easy) == CURLM_OK)
            continue;  // the redirect target starts on the next pump
        if (step == _AGAIN)
            SetProgress(*t->request, 0.0f);
        connection->running = nullptr;
        delete t;
        StartNext(connection);
        break;  // the next transfer is advanced by the next pump
    }
    if (connection->running != nullptr && AbortRequested(*connection->running)) {
        Transfer* t = connection->running;
        curl_multi_remove_handle(connection->multi, connection->easy);
        Conclude(*t, CURLE_ABORTED_BY_CALLBACK);
        connection->running = nullptr;
        delete t;
        StartNext(connection);
    }
    return connection->running == nullptr && connection->pending.Count() == 0;
}

namespace {
bool RunBackgroundFetch(WorkerThread* worker, void* user, int) {
    WebBackgroundFetch* fetch = static_cast<WebBackgroundFetch*>(user);
    fetch->request.abortSource = worker;
    bool ok = Fetch(fetch->request);
    AtomicExchange(&fetch->state, ok ? _FETCH_SUCCEEDED : _FETCH_FAILED);
    return false;
}
} // namespace

WebBackgroundFetch* FetchInBackground(const WebRequest& request) {
    WebBackgroundFetch* fetch = new (std::nothrow) WebBackgroundFetch();
    if (fetch == nullptr) {
        PrintBoth(u"[KL] Out of memory");
        return nullptr;
    }
    fetch->request = request;
    fetch->worker = WorkerThread::RunTask(&RunBackgroundFetch, fetch);
    if (fetch->worker == nullptr) {
        PrintBoth(u"[WS] Can not start a background download : %ls", request.address.Text());
        delete fetch;
        return nullptr;
    }
    return fetch;
}

WebFetchState BackgroundFetchState(const WebBackgroundFetch* fetch) {
    if (fetch == nullptr)
        return _FETCH_FAILED;
    return WebFetchState(AtomicRead(&fetch->state));
}

void EndBackgroundFetch(WebBackgroundFetch* fetch) {
    if (fetch == nullptr)
        return;
    // The stop request is the transfer's abort source: it ends within one poll.
    fetch->worker->Stop();
    delete fetch->worker;
    delete fetch;
}

} // namespace Volux
