#pragma once

#include <QtGlobal>

class QByteArray;
class QDateTime;
class QNetworkAccessManager;
class QNetworkReply;
class QUrl;

// The rules every request of this program follows: redirects are followed unless they go from
// HTTPS to HTTP, a transfer that stalls fails after a timeout, and an oversized body is refused.
namespace NetworkPolicy {
constexpr int defaultTransferTimeoutMs = 30000;

void apply(QNetworkAccessManager &manager, int transferTimeoutMs);

// Whether an address is on the web (http or https, with a host). Pictures named by a listing or typed
// by the user come only from there: anything else would read local files, the program's own
// resources or inline data as if they were a post's picture.
bool isWebAddress(const QUrl &url);

// An address of no known scheme: what a request for it gets is Qt's own failed reply, which
// finishes like any other.
QUrl refusedAddress();

// Aborts the reply (it then finishes with an error) once its body is known to exceed maxBytes.
void limitBodySize(QNetworkReply *reply, qint64 maxBytes);

// Whether a finished reply is a success: no network error, no error status, and a body within the
// limit given to limitBodySize(). A body that arrives in one piece finishes the reply before the
// abort can act, so the limit is checked here again.
bool succeeded(const QNetworkReply *reply);

// How long a server that answered 429 asks to be left alone, in milliseconds: Retry-After (seconds
// or an HTTP date, measured from `now`), else X-Ratelimit-Reset (seconds). -1 when neither header
// gives a usable time; a date in the past gives 0.
qint64 retryDelay(const QByteArray &retryAfter, const QByteArray &ratelimitReset, const QDateTime &now);
qint64 retryDelay(const QNetworkReply *reply);
} // namespace NetworkPolicy
