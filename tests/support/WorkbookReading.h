#pragma once

#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>
#include <map>

// Workbooks read back through unzip: the cells of the first sheet, their types
// and the widths of its columns.
namespace quorvid::test {

struct SheetContents {
    std::map<QString, QString> cells;  // "B3" -> text
    QStringList cellTypes;             // the t attribute of every cell
    std::map<int, double> widths;      // column -> width
};

inline QString UnzipProgram() {
    static const QString found = QStandardPaths::findExecutable(QStringLiteral("unzip"));
    return found;
}

inline QByteArray Unzipped(const QString& workbook, const QString& member) {
    QProcess unzip;
    unzip.start(UnzipProgram(), {QStringLiteral("-p"), workbook, member});
    unzip.waitForFinished(30000);
    return unzip.readAllStandardOutput();
}

inline SheetContents ReadSheet(const QString& workbook) {
    SheetContents contents;
    QXmlStreamReader xml(Unzipped(workbook, QStringLiteral("xl/worksheets/sheet1.xml")));
    QString reference;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) {
            continue;
        }
        const auto attributes = xml.attributes();
        if (xml.name() == u"col") {
            for (int column = attributes.value(QStringLiteral("min")).toInt();
                 column <= attributes.value(QStringLiteral("max")).toInt(); ++column) {
                contents.widths[column] = attributes.value(QStringLiteral("width")).toDouble();
            }
        } else if (xml.name() == u"c") {
            reference = attributes.value(QStringLiteral("r")).toString();
            contents.cellTypes << attributes.value(QStringLiteral("t")).toString();
        } else if (xml.name() == u"t") {
            contents.cells[reference] = xml.readElementText();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return contents;
}

}  // namespace quorvid::test
