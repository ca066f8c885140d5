// The HTTP transfer layer on libcurl: every HTTP request of the system goes through it.
//
// A connection handle is one reusable libcurl easy handle with its header list and its
// redirect table, optionally driven by a multi handle so that transfers advance one
// non-blocking step per PumpConnection call. A transfer request names the address, where the
// body goes (nothing, a byte buffer, a file or a streaming callback), a progress float, an
// optional range or resume point, a time-out, a cookie text and the worker whose stop
// request aborts it.
//
// Rules every transfer keeps:
// - Only http and https are fetched; certificates are always verified (the system store).
// - Connecting gives up after 5 s; a body slower than 1 byte per second for 10 s is
//   dropped; the request's time-out (ms) counts in whole seconds, at least 1.
// - 301, 302 and 303 are followed through the connection's redirect table: up to 8
//   targets per address; the 9th redirect fails the transfer.
// - Only the body of a 2xx answer is delivered. A range request is delivered only when
//   answered with 206 and a Content-Range that starts where asked and ends inside the
//   range; anything else fails before a byte reaches the output. A body that ends before
//   its Content-Length fails.
// - The progress float is written with atomic exchanges: a fraction below 1 while the body
//   arrives, exactly 1.0 once the transfer has succeeded and its output is complete, and 0
//   after any failure.
// - The user's proxy setting is honoured (the per-user system setting on Windows, the usual
//   proxy environment variables elsewhere).
// - A synchronous Fetch on the UI thread is refused: the UI thread uses FetchInBackground or
//   a connection with a multi handle, so no transfer can stall it.
// Failures are a false result (or progress 0) plus one "[WS]" log line.
#pragma once

#include <cstdint>

#include "Common/Base.h"
#include "Common/ByteBuffer.h"
#include "Common/WString.h"

namespace Volux {

class WorkerThread;
struct WebConnection;
struct WebBackgroundFetch;

// Called with each piece of the body as it arrives; delivered counts the bytes handed over
// before this piece.
using WebStreamCallback = void (*)(const _byte* bytes, _dword length, _qword delivered, void* argument1,
                                   void* argument2);

struct WebRequest {
    enum Output {
        _DISCARD,  // the body is read and dropped (reports, statistics)
        _BUFFER,   // buffer receives the whole body (also what arrived before a failure)
        _FILE,     // filePath receives the body, after the first `present` bytes when resuming
        _STREAM,   // stream is called with each piece
    };

    WString address;
    Output output = _DISCARD;
    ByteBuffer* buffer = nullptr;
    WString filePath;
    WebStreamCallback stream = nullptr;
    void* streamArgument1 = nullptr;
    void* streamArgument2 = nullptr;
    // Written with atomic exchanges; may be null.
    volatile float* progress = nullptr;
    // Bytes of the file already present: with begin 0 the transfer resumes after them.
    int64_t present = 0;
    // HTTP range [begin, end); begin 0 and end -1 fetch the whole body, -1 means none.
    int64_t begin = 0;
    int64_t end = -1;
    // Milliseconds for the whole transfer; 0 or -1 = none.
    int timeout = 0;
    WString cookie;
    // The connection to use; null = a temporary one for this transfer.
    WebConnection* connection = nullptr;
    // A stop request of this worker aborts the transfer at its next progress call.
    WorkerThread* abortSource = nullptr;

    // Written by the transfer: the final HTTP status (0 = none) and the body bytes delivered.
    int responseCode = 0;
    int64_t received = 0;
};

// withMulti: transfers on this connection are queued on a multi handle and advanced by
// PumpConnection instead of running inside Fetch. Null on failure.
WebConnection* CreateConnection(bool withMulti);
// Stops a running multi transfer and drops the queued ones.
void DestroyConnection(WebConnection* connection);
// Adds a header line ("Name: value") sent with every later request of the connection.
bool AddConnectionHeader(WebConnection* connection, const char16_t* line);

// Performs the request on the calling thread; true when a 2xx body was completely delivered.
// On a multi connection the request is copied into the connection's queue and the result is
// true when it was queued; its buffer, file, callback and progress must stay valid until
// PumpConnection reports the queue done.
bool Fetch(WebRequest& request);

// One non-blocking step of a multi connection: true when nothing runs or waits any more.
bool PumpConnection(WebConnection* connection);

// Runs a copy of the request on a worker thread of its own, whose stop request is the
// transfer's abort source (the request's own abortSource is not used). The caller watches
// the progress float or BackgroundFetchState and must end the fetch with EndBackgroundFetch,
// which is also how it is aborted; the request's buffer, file, callback and progress must
// stay valid until then. Null when the worker could not be started.
WebBackgroundFetch* FetchInBackground(const WebRequest& request);
enum WebFetchState { _FETCH_RUNNING, _FETCH_SUCCEEDED, _FETCH_FAILED };
WebFetchState BackgroundFetchState(const WebBackgroundFetch* fetch);
// Aborts the transfer when it still runs, waits until its worker has let go of the outputs
// and frees everything. Null is ignored.
void EndBackgroundFetch(WebBackgroundFetch* fetch);

// The transfer time-out in whole seconds for a request time-out in milliseconds (0 = none).
long TransferTimeoutSeconds(int milliseconds);

} // namespace Volux
