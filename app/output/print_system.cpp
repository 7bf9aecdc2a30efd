#include "print_system.h"

#include <QLocale>
#include <QMarginsF>
#include <QPageSize>
#include <QScopeGuard>
#include <QSizeF>

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "cups_library.h"

#include "output_errors.h"
#include "password_prompt.h"

namespace velmor {
namespace {

// Qt's resolution for printing in high resolution, kept so that pages look as before.
constexpr int kDpi = 1200;

struct HttpClose {
    const CupsLibrary* cups;
    void operator()(http_t* http) const { cups->httpClose(http); }
};
using Http = std::unique_ptr<http_t, HttpClose>;

struct DestsFree {
    const CupsLibrary* cups;
    int count = 0;
    void operator()(cups_dest_t* dests) const { cups->cupsFreeDests(count, dests); }
};

struct DestInfoFree {
    const CupsLibrary* cups;
    void operator()(cups_dinfo_t* info) const { cups->cupsFreeDestInfo(info); }
};

// What the password question of the calling thread's current request needs.
struct PasswordQuestion {
    const CupsLibrary* cups = nullptr;
    int asked = 0;
    QByteArray password;
};
thread_local PasswordQuestion passwordQuestion;

// The library asks for a password through this, on the thread that makes the request; without
// it, it would prompt on the program's terminal. The window asks, while the request's time limit
// waits: once, and twice more after a wrong password (the library then asks again). No password
// (cups-authentication-canceled) when the user cancels, and outside a worker.
const char* AskPassword(const char* prompt, http_t*, const char*, const char*, void*) {
    PasswordQuestion& question = passwordQuestion;
    TimedTask::Caller* caller = TimedTask::Caller::Current();
    if (++question.asked > 3 || !caller || caller->Abandoned()) return nullptr;
    caller->PauseLimit(true);
    const auto answer =
        AskPrintPassword(QString::fromUtf8(prompt), QString::fromUtf8(question.cups->cupsUser()));
    caller->PauseLimit(false);
    if (!answer) return nullptr;
    question.cups->cupsSetUser(answer->first.toUtf8().constData());
    question.password = answer->second.toUtf8();
    return question.password.constData();
}

[[noreturn]] void Fail(const CupsLibrary& cups, ipp_status_t status) {
    // A connection that broke before the server answered may leave the last answer's status.
    if (status < IPP_STATUS_ERROR_BAD_REQUEST) status = IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
    throw SystemError(status, QString::fromUtf8(cups.ippErrorString(status)));
}

// Whether the last exchange on http broke before an answer: the library then reports its own
// status (for the default destination, "not found"), not the server's.
bool Broken(const CupsLibrary& cups, http_t* http) {
    return cups.httpGetStatus(http) == HTTP_STATUS_ERROR;
}

// The library's last status, or service-unavailable when the connection broke.
[[noreturn]] void FailOn(const CupsLibrary& cups, http_t* http) {
    Fail(cups, Broken(cups, http) ? IPP_STATUS_ERROR_SERVICE_UNAVAILABLE : cups.cupsLastError());
}

// The same, where "not found" means that the printer is gone.
[[noreturn]] void FailForPrinter(const CupsLibrary& cups, http_t* http) {
    if (!Broken(cups, http) && cups.cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND)
        throw PrinterNotValidError();
    FailOn(cups, http);
}

// Whether the last request on http failed otherwise than with "not found".
bool Failed(const CupsLibrary& cups, http_t* http) {
    const ipp_status_t status = cups.cupsLastError();
    return Broken(cups, http) ||
           (status != IPP_STATUS_ERROR_NOT_FOUND && status >= IPP_STATUS_ERROR_BAD_REQUEST);
}

// A connection of the calling thread's own to the user's print server; null when there is none.
Http TryConnect(const CupsLibrary& cups) {
    return Http(cups.httpConnect2(cups.cupsServer(), cups.ippPort(), nullptr, AF_UNSPEC,
                                  cups.cupsEncryption(), 1, 30000, nullptr),
                HttpClose{&cups});
}

// Why a connection to address cannot be made, as the system says it; 0 when it can, or when
// the answer does not come at once.
int ConnectError(const sockaddr* address, socklen_t size) {
    const int socket = ::socket(address->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket < 0) return 0;
    int error = ::connect(socket, address, size) == 0 ? 0 : errno;
    pollfd ready = {socket, POLLOUT, 0};
    socklen_t length = sizeof error;
    if (error == EINPROGRESS && poll(&ready, 1, 1000) == 1)
        getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length);
    close(socket);
    return error;
}

// Whether nothing listens at the print server's address: no socket there, or every address
// refuses. The library reports every failure to connect alike, so the system is asked again.
bool NoScheduler(const CupsLibrary& cups) {
    const char* server = cups.cupsServer();
    const auto absent = [](int error) { return error == ENOENT || error == ECONNREFUSED; };
    if (server[0] == '/') {
        sockaddr_un address = {AF_UNIX, {}};
        strncpy(address.sun_path, server, sizeof address.sun_path - 1);
        return absent(ConnectError(reinterpret_cast<sockaddr*>(&address), sizeof address));
    }
    addrinfo hints = {};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(server, std::to_string(cups.ippPort()).c_str(), &hints, &list) != 0)
        return false;
    bool refused = list != nullptr;
    for (addrinfo* at = list; at && refused; at = at->ai_next)
        refused = absent(ConnectError(at->ai_addr, at->ai_addrlen));
    freeaddrinfo(list);
    return refused;
}

Http Connect(const CupsLibrary& cups) {
    Http http = TryConnect(cups);
    if (http) return http;
    // No scheduler to talk to at all is, for the user, no printer to print on.
    if (NoScheduler(cups)) throw NoDefaultPrinterError();
    Fail(cups, IPP_STATUS_ERROR_SERVICE_UNAVAILABLE);
}

// "queue" or "queue/instance", as the user's destinations name them.
QString DestName(const cups_dest_t& dest) {
    QString name = QString::fromLocal8Bit(dest.name);
    if (dest.instance) name += u'/' + QString::fromLocal8Bit(dest.instance);
    return name;
}

QByteArray QueueOf(const QString& name) {
    return name.section(u'/', 0, 0).toLocal8Bit();
}

// Best effort: the job may be done already, or the server gone.
void Cancel(const CupsLibrary& cups, const QByteArray& queue, int job) {
    if (const Http http = TryConnect(cups))
        cups.cupsCancelJob2(http.get(), queue.constData(), job, 0);
}

// The paper and printable area a queue's default media-col states; an invalid layout without it.
QPageLayout DefaultPage(const CupsLibrary& cups, ipp_attribute_t* media) {
    ipp_t* col = media ? cups.ippGetCollection(media, 0) : nullptr;
    ipp_attribute_t* size =
        col ? cups.ippFindAttribute(col, "media-size", IPP_TAG_BEGIN_COLLECTION) : nullptr;
    if (!size) return QPageLayout();
    // Hundredths of a millimetre.
    const auto in = [&](ipp_t* collection, const char* name) {
        return cups.ippGetInteger(cups.ippFindAttribute(collection, name, IPP_TAG_INTEGER), 0) /
               100.0;
    };
    ipp_t* dimensions = cups.ippGetCollection(size, 0);
    const QSizeF paper(in(dimensions, "x-dimension"), in(dimensions, "y-dimension"));
    const QMarginsF margins(in(col, "media-left-margin"), in(col, "media-top-margin"),
                            in(col, "media-right-margin"), in(col, "media-bottom-margin"));
    return QPageLayout(QPageSize(paper, QPageSize::Millimeter), QPageLayout::Portrait, margins,
                       QPageLayout::Millimeter);
}

class CupsPrintSystem final : public PrintSystem {
  public:
    explicit CupsPrintSystem(const char* soname) : soname_(soname) {}

    QString DefaultPrinterName() override {
        const CupsLibrary& cups = Library();
        const Http http = Connect(cups);
        cups_dest_t* dest = cups.cupsGetNamedDest(http.get(), nullptr, nullptr);
        // "Not found" is the answer when no default is set; anything else is a failure.
        if (!dest && Failed(cups, http.get())) FailOn(cups, http.get());
        if (!dest) return QString();
        const QString name = DestName(*dest);
        cups.cupsFreeDests(1, dest);
        return name;
    }

    QStringList InstalledPrinterNames() override {
        const CupsLibrary& cups = Library();
        const Http http = Connect(cups);
        cups_dest_t* dests = nullptr;
        const int count = cups.cupsGetDests2(http.get(), &dests);
        const std::unique_ptr<cups_dest_t, DestsFree> owned(dests, DestsFree{&cups, count});
        if (count == 0 && Failed(cups, http.get())) FailOn(cups, http.get());
        QStringList names;
        for (int i = 0; i < count; ++i) names << DestName(dests[i]);
        return names;
    }

    PrinterSetup Setup(const QString& name) override {
        const CupsLibrary& cups = Library();
        const Http http = Connect(cups);
        const QByteArray queue = QueueOf(name);
        cups_dest_t* dest = cups.cupsGetNamedDest(http.get(), queue.constData(), nullptr);
        if (!dest) FailForPrinter(cups, http.get());
        const std::unique_ptr<cups_dest_t, DestsFree> ownedDest(dest, DestsFree{&cups, 1});
        const std::unique_ptr<cups_dinfo_t, DestInfoFree> info(
            cups.cupsCopyDestInfo(http.get(), dest), DestInfoFree{&cups});
        if (!info) FailForPrinter(cups, http.get());

        PrinterSetup setup{
            DefaultPage(cups, cups.cupsFindDestDefault(http.get(), dest, info.get(), "media-col")),
            kDpi};
        if (!setup.page.isValid()) {
            const bool letter = QLocale().measurementSystem() == QLocale::ImperialUSSystem;
            setup.page = QPageLayout(QPageSize(letter ? QPageSize::Letter : QPageSize::A4),
                                     QPageLayout::Portrait, QMarginsF());
        }
        return setup;
    }

    void Submit(const QString& name, const QByteArray& pdf, TimedTask::Caller& caller) override {
        const CupsLibrary& cups = Library();
        const Http http = Connect(cups);
        const QByteArray queue = QueueOf(name);
        const int job = cups.cupsCreateJob(http.get(), queue.constData(), "", 0, nullptr);
        if (job == 0) {
            // The library looks the printer up first and takes a missing one for its own failure.
            const ipp_status_t status = cups.cupsLastError();
            if (status == IPP_STATUS_ERROR_CUPS_AUTHENTICATION_CANCELED) Fail(cups, status);
            cups_dest_t* dest = cups.cupsGetNamedDest(http.get(), queue.constData(), nullptr);
            if (!dest) FailForPrinter(cups, http.get());
            cups.cupsFreeDests(1, dest);
            Fail(cups, Broken(cups, http.get()) ? IPP_STATUS_ERROR_SERVICE_UNAVAILABLE : status);
        }
        // Whatever ends this call before the document is complete cancels the job.
        bool committed = false;
        const auto cancel = qScopeGuard([&] {
            if (!committed) Cancel(cups, queue, job);
        });
        // Until then, a caller who gives up breaks the connection: the server discards a job
        // whose document is incomplete. The socket stays open until the breaker is disarmed.
        const int socket = cups.httpGetFd(http.get());
        if (!caller.Arm([socket] { shutdown(socket, SHUT_RDWR); })) return;
        const auto disarm = qScopeGuard([&] { caller.Disarm(); });
        if (cups.cupsStartDocument(http.get(), queue.constData(), job, "", CUPS_FORMAT_PDF, 1) !=
                HTTP_STATUS_CONTINUE ||
            cups.cupsWriteRequestData(http.get(), pdf.constData(), size_t(pdf.size())) !=
                HTTP_STATUS_CONTINUE ||
            cups.httpFlushWrite(http.get()) < 0)
            FailOn(cups, http.get());
        // All of the document but its end mark has gone out; finishing sends that mark, after
        // which the server prints the job whatever it answers, or however late.
        if (!caller.Commit()) return;
        committed = true;
        if (cups.cupsFinishDocument(http.get(), queue.constData()) >= IPP_STATUS_ERROR_BAD_REQUEST)
            FailForPrinter(cups, http.get());
        caller.Answer();
    }

  private:
    // Loaded at the first request; no library is no print system. Each request (on whichever
    // thread) asks for a password in the window, never on a terminal.
    const CupsLibrary& Library() {
        const CupsLibrary* cups = LoadCupsLibrary(soname_);
        if (!cups) throw NoDefaultPrinterError();
        passwordQuestion = {cups, 0, {}};
        cups->cupsSetPasswordCB2(&AskPassword, nullptr);
        return *cups;
    }

    const char* soname_;
};

}  // namespace

std::unique_ptr<PrintSystem> CreateCupsPrintSystem(const char* soname) {
    return std::make_unique<CupsPrintSystem>(soname);
}

}  // namespace velmor
