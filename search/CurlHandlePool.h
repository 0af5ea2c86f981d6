#pragma once

#include <curl/curl.h>

namespace qx {

// The libcurl easy handles of the workers' sessions, and what they share.
//
// A worker lives for one page. A handle made for it would each time allocate
// libcurl's buffers and, on its first transfer, the private multi handle with
// its wake-up socket pair, all freed again at the end; so handles of ended
// sessions are kept for the sessions to come.
//
// Each handle keeps its own connection cache (in that private multi handle),
// and a kept handle keeps its open connection: the next worker that takes it
// fetches over that connection when its page is on the same server. One
// thread uses a handle at a time, and the pool's lock hands it over.
//
// The connection cache is deliberately NOT shared between handles: libcurl
// 7.88 does not support sharing connections between handles that run
// concurrently in different threads, whatever lock callbacks are set, and
// doing so corrupted its memory (a double free inside curl_easy_perform on
// servers that keep connections alive). What the handles do share, with
// locks, is the DNS cache and the TLS session cache, which libcurl supports
// across threads.
namespace curl_handles {

// Open connections a handle keeps when its transfer is over: the one its
// next user most likely needs (a crawl stays on few servers).
constexpr long kConnectionsKeptPerHandle = 1;

// A handle with libcurl's default options (as after curl_easy_reset), or null
// when libcurl cannot make one.
CURL* Take();

// Resets the handle, so it carries no option, callback or pointer of its last
// user, and keeps it (with its connection) or cleans it up. Null is ignored.
void Give(CURL* handle);

// Cleans up every kept handle, closing their connections: for a process, or
// a test, that wants the servers to see its idle connections end now.
void DropKept();

// The share of DNS and TLS sessions to attach every session's handle to;
// null when libcurl could not create it.
CURLSH* WorkerShare();

}  // namespace curl_handles

}  // namespace qx
