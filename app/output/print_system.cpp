#include "print_system.h"

#include <QLocale>
#include <QMarginsF>
#include <QPageSize>
#include <QScopeGuard>
#include <QSizeF>

#include <cups/cups.h>

#include "output_errors.h"

namespace velmor {
namespace {

// Qt's resolution for printing in high resolution, kept so that pages look as before.
constexpr int kDpi = 1200;

struct HttpClose {
    void operator()(http_t* http) const { httpClose(http); }
};
using Http = std::unique_ptr<http_t, HttpClose>;

struct DestsFree {
    int count = 0;
    void operator()(cups_dest_t* dests) const { cupsFreeDests(count, dests); }
};

struct DestInfoFree {
    void operator()(cups_dinfo_t* info) const { cupsFreeDestInfo(info); }
};

[[noreturn]] void Fail(ipp_status_t status) {
    // A connection that broke before the server answered leaves the last answer's status.
    if (status < IPP_STATUS_ERROR_BAD_REQUEST) status = IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
    throw SystemError(status, QString::fromUtf8(ippErrorString(status)));
}

// The library's last status, where "not found" means that the printer is gone.
[[noreturn]] void FailForPrinter() {
    if (cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND) throw PrinterNotValidError();
    Fail(cupsLastError());
}

// A connection of the calling thread's own to the user's print server; null when there is none.
Http TryConnect() {
    return Http(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                             30000, nullptr));
}

Http Connect() {
    Http http = TryConnect();
    if (!http) Fail(IPP_STATUS_ERROR_SERVICE_UNAVAILABLE);
    return http;
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

int IntegerIn(ipp_t* collection, const char* name) {
    return ippGetInteger(ippFindAttribute(collection, name, IPP_TAG_INTEGER), 0);
}

// Best effort: the job may be done already, or the server gone.
void Cancel(const QByteArray& queue, int job) {
    if (const Http http = TryConnect()) cupsCancelJob2(http.get(), queue.constData(), job, 0);
}

class CupsPrintSystem final : public PrintSystem {
  public:
    QString DefaultPrinterName() override {
        const Http http = Connect();
        cups_dest_t* dest = cupsGetNamedDest(http.get(), nullptr, nullptr);
        if (!dest) {
            // "Not found" is the answer when no default is set; anything else is a failure.
            if (cupsLastError() != IPP_STATUS_ERROR_NOT_FOUND &&
                cupsLastError() >= IPP_STATUS_ERROR_BAD_REQUEST)
                Fail(cupsLastError());
            return QString();
        }
        const QString name = DestName(*dest);
        cupsFreeDests(1, dest);
        return name;
    }

    QStringList InstalledPrinterNames() override {
        const Http http = Connect();
        cups_dest_t* dests = nullptr;
        const int count = cupsGetDests2(http.get(), &dests);
        const std::unique_ptr<cups_dest_t, DestsFree> owned(dests, DestsFree{count});
        if (count == 0 && cupsLastError() != IPP_STATUS_ERROR_NOT_FOUND &&
            cupsLastError() >= IPP_STATUS_ERROR_BAD_REQUEST)
            Fail(cupsLastError());
        QStringList names;
        for (int i = 0; i < count; ++i) names << DestName(dests[i]);
        return names;
    }

    PrinterSetup Setup(const QString& name) override {
        const Http http = Connect();
        const QByteArray queue = QueueOf(name);
        cups_dest_t* dest = cupsGetNamedDest(http.get(), queue.constData(), nullptr);
        if (!dest) FailForPrinter();
        const std::unique_ptr<cups_dest_t, DestsFree> ownedDest(dest, DestsFree{1});
        const std::unique_ptr<cups_dinfo_t, DestInfoFree> info(cupsCopyDestInfo(http.get(), dest));
        if (!info) FailForPrinter();

        PrinterSetup setup{QPageLayout(), kDpi};
        ipp_attribute_t* media = cupsFindDestDefault(http.get(), dest, info.get(), "media-col");
        ipp_t* col = media ? ippGetCollection(media, 0) : nullptr;
        ipp_attribute_t* size =
            col ? ippFindAttribute(col, "media-size", IPP_TAG_BEGIN_COLLECTION) : nullptr;
        if (size) {
            // Hundredths of a millimetre.
            ipp_t* dimensions = ippGetCollection(size, 0);
            const QSizeF paper(IntegerIn(dimensions, "x-dimension") / 100.0,
                               IntegerIn(dimensions, "y-dimension") / 100.0);
            const QMarginsF margins(IntegerIn(col, "media-left-margin") / 100.0,
                                    IntegerIn(col, "media-top-margin") / 100.0,
                                    IntegerIn(col, "media-right-margin") / 100.0,
                                    IntegerIn(col, "media-bottom-margin") / 100.0);
            setup.page = QPageLayout(QPageSize(paper, QPageSize::Millimeter), QPageLayout::Portrait,
                                     margins, QPageLayout::Millimeter);
        }
        if (!setup.page.isValid()) {
            const bool letter = QLocale().measurementSystem() == QLocale::ImperialUSSystem;
            setup.page = QPageLayout(QPageSize(letter ? QPageSize::Letter : QPageSize::A4),
                                     QPageLayout::Portrait, QMarginsF());
        }
        return setup;
    }

    void Submit(const QString& name, const QByteArray& pdf, TimedTask::Caller& caller) override {
        const Http http = Connect();
        const QByteArray queue = QueueOf(name);
        const int job = cupsCreateJob(http.get(), queue.constData(), "", 0, nullptr);
        if (job == 0) {
            // The library looks the printer up first and takes a missing one for its own failure.
            const ipp_status_t status = cupsLastError();
            cups_dest_t* dest = cupsGetNamedDest(http.get(), queue.constData(), nullptr);
            if (!dest) FailForPrinter();
            cupsFreeDests(1, dest);
            Fail(status);
        }
        // Whatever ends this call without an accepted job cancels it.
        bool accepted = false;
        const auto cancel = qScopeGuard([&] {
            if (!accepted) Cancel(queue, job);
        });
        if (caller.Abandoned()) return;
        if (cupsStartDocument(http.get(), queue.constData(), job, "", CUPS_FORMAT_PDF, 1) !=
                HTTP_STATUS_CONTINUE ||
            cupsWriteRequestData(http.get(), pdf.constData(), size_t(pdf.size())) !=
                HTTP_STATUS_CONTINUE)
            Fail(cupsLastError());
        // The document is not complete until it is finished: a job given up by now is not.
        if (caller.Abandoned()) return;
        if (cupsFinishDocument(http.get(), queue.constData()) >= IPP_STATUS_ERROR_BAD_REQUEST)
            FailForPrinter();
        accepted = caller.Answer();
    }
};

}  // namespace

std::unique_ptr<PrintSystem> CreateCupsPrintSystem() {
    return std::make_unique<CupsPrintSystem>();
}

}  // namespace velmor
