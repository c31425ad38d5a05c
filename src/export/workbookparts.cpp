#include "export/workbookparts.h"

#include "export/zipwriter.h"

#include <QDateTime>

namespace WorkbookParts {

namespace {

const char XmlHead[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

QByteArray Escaped(const QString& text) { return text.toHtmlEscaped().toUtf8(); }

QByteArray FontXml(const TFont& f)
{
    char colour[16];
    std::snprintf(colour, sizeof colour, "FF%06X", unsigned(f.Rgb & 0xFFFFFF));
    return QByteArray("<font>") + (f.Bold ? "<b/>" : "") + "<sz val=\"" +
           QByteArray::number(f.Size) + "\"/><color rgb=\"" + colour +
           "\"/><name val=\"Calibri\"/><family val=\"2\"/></font>";
}

} // namespace

void Write(TZipWriter& zip, const QString& sheetName, const std::vector<TFont>& fonts)
{
    const QByteArray sheet = Escaped(sheetName);
    zip.AddFile("[Content_Types].xml",
                QByteArray(XmlHead) +
                    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                    "<Default Extension=\"rels\" "
                    "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                    "<Override PartName=\"/docProps/app.xml\" "
                    "ContentType=\"application/"
                    "vnd.openxmlformats-officedocument.extended-properties+xml\"/>"
                    "<Override PartName=\"/docProps/core.xml\" "
                    "ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>"
                    "<Override PartName=\"/xl/styles.xml\" "
                    "ContentType=\"application/"
                    "vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
                    "<Override PartName=\"/xl/workbook.xml\" "
                    "ContentType=\"application/"
                    "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
                    "<Override PartName=\"/" +
                    SheetPart +
                    "\" ContentType=\"application/"
                    "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/></Types>");
    zip.AddFile("_rels/.rels",
                QByteArray(XmlHead) +
                    "<Relationships "
                    "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                    "<Relationship Id=\"rId1\" "
                    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
                    "officeDocument\" Target=\"xl/workbook.xml\"/>"
                    "<Relationship Id=\"rId2\" "
                    "Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/"
                    "core-properties\" Target=\"docProps/core.xml\"/>"
                    "<Relationship Id=\"rId3\" "
                    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
                    "extended-properties\" Target=\"docProps/app.xml\"/></Relationships>");
    zip.AddFile(
        "docProps/app.xml",
        QByteArray(XmlHead) +
            "<Properties "
            "xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\" "
            "xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes\">"
            "<Application>Tresmol</Application><DocSecurity>0</DocSecurity>"
            "<ScaleCrop>false</ScaleCrop><HeadingPairs><vt:vector size=\"2\" "
            "baseType=\"variant\"><vt:variant><vt:lpstr>Worksheets</vt:lpstr></vt:variant>"
            "<vt:variant><vt:i4>1</vt:i4></vt:variant></vt:vector></HeadingPairs>"
            "<TitlesOfParts><vt:vector size=\"1\" baseType=\"lpstr\"><vt:lpstr>" +
            sheet +
            "</vt:lpstr></vt:vector></TitlesOfParts><LinksUpToDate>false</LinksUpToDate>"
            "<SharedDoc>false</SharedDoc><HyperlinksChanged>false</HyperlinksChanged>"
            "<AppVersion>12.0000</AppVersion></Properties>");
    const QByteArray now = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toLatin1(); // ...Z
    zip.AddFile("docProps/core.xml",
                QByteArray(XmlHead) +
                    "<cp:coreProperties "
                    "xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/"
                    "core-properties\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
                    "xmlns:dcterms=\"http://purl.org/dc/terms/\" "
                    "xmlns:dcmitype=\"http://purl.org/dc/dcmitype/\" "
                    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
                    "<dcterms:created xsi:type=\"dcterms:W3CDTF\">" +
                    now + "</dcterms:created><dcterms:modified xsi:type=\"dcterms:W3CDTF\">" + now +
                    "</dcterms:modified></cp:coreProperties>");
    zip.AddFile(
        "xl/workbook.xml",
        QByteArray(XmlHead) +
            "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
            "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
            "<bookViews><workbookView xWindow=\"240\" yWindow=\"15\" windowWidth=\"16095\" "
            "windowHeight=\"9660\"/></bookViews><sheets><sheet name=\"" +
            sheet + "\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>");
    zip.AddFile("xl/_rels/workbook.xml.rels",
                QByteArray(XmlHead) +
                    "<Relationships "
                    "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                    "<Relationship Id=\"rId1\" "
                    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
                    "worksheet\" Target=\"worksheets/sheet1.xml\"/>"
                    "<Relationship Id=\"rId2\" "
                    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
                    "styles\" Target=\"styles.xml\"/></Relationships>");

    QByteArray fontXml = FontXml(TFont{});
    QByteArray xfXml = "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>";
    for (size_t i = 0; i < fonts.size(); ++i) {
        fontXml += FontXml(fonts[i]);
        xfXml += "<xf numFmtId=\"0\" fontId=\"" + QByteArray::number(qulonglong(i + 1)) +
                 "\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyFont=\"1\"/>";
    }
    const QByteArray count = QByteArray::number(qulonglong(fonts.size() + 1));
    zip.AddFile(
        "xl/styles.xml",
        QByteArray(XmlHead) +
            "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
            "<fonts count=\"" +
            count + "\">" + fontXml +
            "</fonts><fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
            "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
            "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border>"
            "</borders><cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" "
            "fillId=\"0\" borderId=\"0\"/></cellStyleXfs><cellXfs count=\"" +
            count + "\">" + xfXml +
            "</cellXfs><cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" "
            "builtinId=\"0\"/></cellStyles><dxfs count=\"0\"/><tableStyles count=\"0\" "
            "defaultTableStyle=\"TableStyleMedium9\" "
            "defaultPivotStyle=\"PivotStyleLight16\"/></styleSheet>");
}

} // namespace WorkbookParts
