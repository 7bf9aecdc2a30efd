// The report file's bytes: line breaks, code page 936 and the GB18030 fallback. glibc's iconv
// serves as an independent table of both encodings.
#include <QFile>
#include <QStringDecoder>
#include <QTest>

#include <iconv.h>

#include <algorithm>
#include <optional>

#include "report_text.h"

using velmor::EncodeReportText;

namespace {

// text converted by glibc's iconv, or nothing when the encoding lacks a character.
std::optional<QByteArray> Iconv(const char* encoding, const QString& text) {
    iconv_t cd = iconv_open(encoding, "UTF-8");
    if (cd == iconv_t(-1)) return std::nullopt;
    QByteArray in = text.toUtf8(), out(in.size() * 4 + 8, '\0');
    char *inPtr = in.data(), *outPtr = out.data();
    size_t inLeft = size_t(in.size()), outLeft = size_t(out.size());
    const size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (result == size_t(-1)) return std::nullopt;
    return out.first(out.size() - qsizetype(outLeft));
}

}  // namespace

class ReportTextTest : public QObject {
    Q_OBJECT

  private slots:
    void encoding_data();
    void encoding();
    void everyBmpCharacterAgreesWithIconv();
};

// Exact bytes, so also no byte-order mark and no NUL.
void ReportTextTest::encoding_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    // The report for the window's default inputs as the calculation's tests know it (UTF-8, LF):
    // its 29 lines in GBK, each followed by CR LF.
    QFile file(QStringLiteral(VELMOR_DEFAULT_REPORT));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString report = QString::fromUtf8(file.readAll());
    QByteArray gbk;
    for (const QString& line : report.split(u'\n', Qt::SkipEmptyParts))
        gbk += Iconv("CP936", line).value_or("not in CP936") + "\r\n";
    QCOMPARE(report.count(u'\n'), 29);
    QTest::newRow("default report") << report << gbk;
    QTest::newRow("empty box") << QString() << QByteArray();
    QTest::newRow("no break at the end") << u"a\nb"_qs << QByteArray("a\r\nb");
    QTest::newRow("CR LF stays one break") << u"a\r\nb\r\n"_qs << QByteArray("a\r\nb\r\n");
    QTest::newRow("lone CR, LF at the end") << u"a\rb\n"_qs << QByteArray("a\r\nb\r\n");
    QTest::newRow("LF CR is two breaks") << u"a\n\rb"_qs << QByteArray("a\r\n\r\nb");
    QTest::newRow("paragraph and line separators")
        << u"中\u2029文\u2028"_qs << QByteArray::fromHex("d6d00d0acec40d0a");
    QTest::newRow("break after a fallback character")
        << u"µ\nx"_qs << QByteArray::fromHex("813085380d0a78");
    // Code page 936's user-defined areas, which glibc leaves out.
    QTest::newRow("user-defined area") << u"\ue000"_qs << QByteArray("\xaa\xa1");
    QTest::newRow("A8BC private-use mapping") << u"\ue7c7"_qs << QByteArray("\xa8\xbc");
    // Runs of both kinds one after the other: an encoder that failed once must not stay failed.
    QTest::newRow("runs in both encodings")
        << u"Vµ中😀😀x²Ω"_qs << QByteArray::fromHex("5681308538d6d09439fc369439fc367881308535a6b8");
    // ICU's 936 table writes U+FEFF as nothing at all.
    QTest::newRow("zero width no-break space")
        << u"a\ufeffb"_qs << QByteArray::fromHex("618431953362");
    QTest::newRow("unpaired surrogate") << QString(QChar(0xd800)) + u'a' << QByteArray("?a");
}

void ReportTextTest::encoding() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(EncodeReportText(text).toHex(' '), bytes.toHex(' '));
}

// Every BMP character, alone and all in one text: what glibc's CP936 holds is written as CP936,
// the private-use characters of 936's user-defined areas (which glibc leaves out) in two bytes
// (0xFF for U+F8F5), everything else as glibc's GB18030 gives it, except for 18 characters to
// which its GB18030-2005 table gives two bytes that 936 reads as private use: those are written
// in four bytes that read back as themselves. The whole text gives the same bytes as one at a time.
void ReportTextTest::everyBmpCharacterAgreesWithIconv() {
    QString all;
    QByteArray expected;
    int privateUse = 0, keptFourBytes = 0;
    for (char32_t c = 1; c < 0x10000; ++c) {
        const QString text = QString::fromUcs4(&c, 1);
        if (text.front().isSurrogate() || u"\n\r\u2028\u2029"_qs.contains(text)) continue;
        const QByteArray bytes = EncodeReportText(text);
        const std::optional<QByteArray> cp936 = Iconv("CP936", text);
        const QByteArray reference = cp936 ? *cp936 : Iconv("GB18030", text).value_or("none");
        if (!cp936 && text.front().category() == QChar::Other_PrivateUse && bytes.size() <= 2)
            ++privateUse;
        else if (!cp936 && bytes.size() == 4 && reference.size() == 2 &&
                 QStringDecoder("GB18030").decode(bytes) == text)
            ++keptFourBytes;
        else if (bytes != reference)
            QFAIL(qPrintable(QString::asprintf("U+%04X: %s, iconv %s", unsigned(c),
                                               bytes.toHex(' ').constData(),
                                               reference.toHex(' ').constData())));
        all += text;
        expected += bytes;
    }
    QCOMPARE(privateUse, 2150);
    QCOMPARE(keptFourBytes, 18);
    // From the first difference on.
    const QByteArray together = EncodeReportText(all);
    const auto at =
        std::mismatch(together.cbegin(), together.cend(), expected.cbegin(), expected.cend());
    QCOMPARE(together.mid(at.first - together.cbegin(), 12).toHex(' '),
             expected.mid(at.second - expected.cbegin(), 12).toHex(' '));
}

QTEST_GUILESS_MAIN(ReportTextTest)
#include "report_text_test.moc"
