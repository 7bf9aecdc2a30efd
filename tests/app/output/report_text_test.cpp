// The report file's bytes: line breaks, code page 936 and the GB18030 fallback. glibc's iconv
// serves as an independent table of both encodings.
#include <QFile>
#include <QStringDecoder>
#include <QTest>

#include <iconv.h>

#include <optional>

#include "report_text.h"

using velmor::EncodeReportText;

namespace {

// The report for the window's default inputs, one line per line (UTF-8, LF), as the
// calculation's tests know it.
QStringList DefaultReportLines() {
    QFile file(QStringLiteral(VELMOR_DEFAULT_REPORT));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

// text converted by glibc's iconv, or nothing when the encoding lacks a character.
std::optional<QByteArray> Iconv(const char* encoding, const QString& text) {
    iconv_t cd = iconv_open(encoding, "UTF-8");
    if (cd == iconv_t(-1)) return std::nullopt;
    QByteArray in = text.toUtf8();
    QByteArray out(in.size() * 4 + 8, '\0');
    char* inPtr = in.data();
    char* outPtr = out.data();
    size_t inLeft = size_t(in.size());
    size_t outLeft = size_t(out.size());
    const size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (result == size_t(-1)) return std::nullopt;
    out.truncate(out.size() - qsizetype(outLeft));
    return out;
}

bool IsLineBreak(char32_t c) {
    return c == U'\n' || c == U'\r' || c == 0x2028 || c == 0x2029;
}

}  // namespace

class ReportTextTest : public QObject {
    Q_OBJECT

  private slots:
    void defaultReportIsGbkWithCrLf();
    void lineBreaks_data();
    void lineBreaks();
    void charactersOutsideCodePage936_data();
    void charactersOutsideCodePage936();
    void everyBmpCharacterAgreesWithIconv();
};

void ReportTextTest::defaultReportIsGbkWithCrLf() {
    const QStringList lines = DefaultReportLines();
    QCOMPARE(lines.size(), 29);
    // The report box holds every line followed by a line break.
    QString memo;
    QByteArray expected;
    qsizetype gbkLength = 0;
    for (const QString& text : lines) {
        memo += text + u'\n';
        const std::optional<QByteArray> gbk = Iconv("CP936", text);
        QVERIFY2(gbk, qPrintable(text));
        gbkLength += gbk->size();
        expected += *gbk + "\r\n";
    }

    const QByteArray bytes = EncodeReportText(memo);
    QCOMPARE(bytes, expected);
    QCOMPARE(bytes.size(), gbkLength + 2 * 29);
    QCOMPARE(bytes.count("\r\n"), 29);
    QVERIFY(bytes.endsWith("ro=1.96078431372549omh\r\n"));
    // No byte-order mark, no NUL, and the Chinese labels are two bytes a character.
    QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
    QVERIFY(!bytes.contains('\0'));
    QCOMPARE(bytes.indexOf("\r\n"), 46);
    QCOMPARE(EncodeReportText(u"R1（omh）："), QByteArray::fromHex("5231a3a86f6d68a3a9a3ba"));
}

void ReportTextTest::lineBreaks_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty box") << QString() << QByteArray();
    QTest::newRow("no break at the end") << QStringLiteral("a\nb") << QByteArray("a\r\nb");
    QTest::newRow("break at the end") << QStringLiteral("a\n") << QByteArray("a\r\n");
    QTest::newRow("CR LF stays one break")
        << QStringLiteral("a\r\nb\r\n") << QByteArray("a\r\nb\r\n");
    QTest::newRow("lone CR") << QStringLiteral("a\rb") << QByteArray("a\r\nb");
    QTest::newRow("LF CR is two breaks") << QStringLiteral("a\n\rb") << QByteArray("a\r\n\r\nb");
    QTest::newRow("empty lines") << QStringLiteral("\n\n") << QByteArray("\r\n\r\n");
    QTest::newRow("paragraph separator")
        << QStringLiteral(u"中\u2029文") << QByteArray("\xd6\xd0\r\n\xce\xc4");
    QTest::newRow("line separator") << QStringLiteral(u"a\u2028") << QByteArray("a\r\n");
    QTest::newRow("break after a fallback character")
        << QStringLiteral(u"µ\nx") << QByteArray::fromHex("813085380d0a78");
}

void ReportTextTest::lineBreaks() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(EncodeReportText(text), bytes);
}

void ReportTextTest::charactersOutsideCodePage936_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    // Code page 936's own choices, where it differs from GB18030.
    QTest::newRow("euro sign is 0x80") << QStringLiteral(u"€") << QByteArray("\x80");
    QTest::newRow("user-defined area") << QStringLiteral(u"\ue000") << QByteArray("\xaa\xa1");
    QTest::newRow("A8BC is the private-use mapping")
        << QStringLiteral(u"\ue7c7") << QByteArray("\xa8\xbc");
    // Characters that 936 lacks, in their GB18030 four-byte form.
    QTest::newRow("micro sign") << QStringLiteral(u"µ") << QByteArray::fromHex("81308538");
    QTest::newRow("superscript two") << QStringLiteral(u"²") << QByteArray::fromHex("81308535");
    QTest::newRow("no-break space") << QStringLiteral(u"\u00a0") << QByteArray::fromHex("81308432");
    QTest::newRow("U+0080") << QStringLiteral(u"\u0080") << QByteArray::fromHex("81308130");
    // GB18030-2005 gives ḿ the two bytes that 936 uses for its private-use stand-in.
    QTest::newRow("m with acute") << QStringLiteral(u"ḿ") << QByteArray::fromHex("a8bc");
    QTest::newRow("emoji, a surrogate pair")
        << QStringLiteral(u"😀") << QByteArray::fromHex("9439fc36");
    QTest::newRow("runs in both encodings") << QStringLiteral(u"Vµ中😀😀x²Ω")
                                            << QByteArray::fromHex(
                                                   "56"
                                                   "81308538"
                                                   "d6d0"
                                                   "9439fc36"
                                                   "9439fc36"
                                                   "78"
                                                   "81308535"
                                                   "a6b8");
    QTest::newRow("zero width no-break space") << QStringLiteral(u"a\ufeffb")
                                               << QByteArray::fromHex(
                                                      "61"
                                                      "84319533"
                                                      "62");
    QTest::newRow("unpaired surrogate") << QString(QChar(0xd800)) + u'a' << QByteArray("?a");
}

void ReportTextTest::charactersOutsideCodePage936() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(EncodeReportText(text).toHex(' '), bytes.toHex(' '));
}

// The private-use character that code page 936 reads from bytes, if that is what it reads.
bool ReadsAsPrivateUse936(const QByteArray& bytes) {
    QStringDecoder decoder("GBK");
    const QString text = decoder.decode(bytes);
    return !decoder.hasError() && text.size() == 1 &&
           text.front().category() == QChar::Other_PrivateUse;
}

// Every BMP character, alone and all in one text: what glibc's CP936 holds is written as CP936,
// the private-use characters of 936's user-defined areas (which glibc leaves out) as two bytes,
// everything else as GB18030: four bytes, except for 81 characters (CJK radicals and others)
// whose GB18030 codes are two bytes that 936 reads as the private-use stand-ins it has for them.
// glibc's GB18030 agrees, except for 18 characters to which its GB18030-2005 table gives such
// two-byte codes too; they are written in four bytes, which read back as themselves. Encoding
// everything at once must give the same bytes as one character at a time, whatever the runs.
void ReportTextTest::everyBmpCharacterAgreesWithIconv() {
    QString all;
    QByteArray expected;
    int twoBytePrivateUse = 0;
    int twoByteStandIns = 0;
    int keptFourBytes = 0;
    for (char32_t c = 1; c < 0x10000; ++c) {
        if ((c >= 0xd800 && c < 0xe000) || IsLineBreak(c)) continue;
        const QString text = QString::fromUcs4(&c, 1);
        const QByteArray bytes = EncodeReportText(text);
        const auto fail = [&](const char* what, const QByteArray& other) {
            return qPrintable(QString::asprintf("U+%04X: %s, %s %s", unsigned(c),
                                                bytes.toHex(' ').constData(), what,
                                                other.toHex(' ').constData()));
        };
        if (const std::optional<QByteArray> cp936 = Iconv("CP936", text)) {
            if (bytes != *cp936) QFAIL(fail("CP936", *cp936));
        } else if (c >= 0xe000 && c <= 0xf8ff && bytes.size() <= 2) {
            ++twoBytePrivateUse;
        } else {
            const std::optional<QByteArray> gb18030 = Iconv("GB18030", text);
            QVERIFY(gb18030);
            if (bytes == *gb18030 && bytes.size() == 4) {
            } else if (bytes == *gb18030 && bytes.size() == 2 && ReadsAsPrivateUse936(bytes)) {
                ++twoByteStandIns;
            } else if (bytes.size() == 4 && gb18030->size() == 2 &&
                       ReadsAsPrivateUse936(*gb18030) &&
                       QStringDecoder("GB18030").decode(bytes) == text) {
                ++keptFourBytes;
            } else {
                QFAIL(fail("GB18030", *gb18030));
            }
        }
        all += text;
        expected += bytes;
    }
    // 936's user-defined areas AAA1-AFFE, F8A1-FEFE and A140-A7A0, and 0xFF for U+F8F5.
    QCOMPARE(twoBytePrivateUse, 2150);
    QCOMPARE(twoByteStandIns, 81);
    QCOMPARE(keptFourBytes, 18);
    const QByteArray together = EncodeReportText(all);
    qsizetype firstDifference = 0;
    while (firstDifference < qMin(together.size(), expected.size()) &&
           together[firstDifference] == expected[firstDifference])
        ++firstDifference;
    QVERIFY2(together == expected,
             qPrintable(QString::asprintf(
                 "from byte %lld: %s, one at a time %s", qlonglong(firstDifference),
                 together.mid(firstDifference, 12).toHex(' ').constData(),
                 expected.mid(firstDifference, 12).toHex(' ').constData())));
}

QTEST_GUILESS_MAIN(ReportTextTest)
#include "report_text_test.moc"
