// Checks of the tool-bar icons in korvane's resources: every icon is there as an SVG on the
// 16x15 grid and as 16x15 and 32x30 PNGs (Qt picks the @2x file on high-density screens).
#include <gtest/gtest.h>

#include <QFile>
#include <QXmlStreamReader>

namespace {

const char* const kIcons[] = {"new", "open", "save", "cut", "copy", "paste", "undo", "redo",
                              "record_first", "record_prev", "record_next", "record_last",
                              "snapshot", "about"};

QByteArray ReadResource(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Width and height from a PNG's header chunk; (0, 0) when the data is not a PNG.
std::pair<quint32, quint32> PngSize(const QByteArray& png)
{
    if (png.size() < 24 || !png.startsWith("\x89PNG\r\n\x1a\n") || png.mid(12, 4) != "IHDR")
        return {0, 0};
    auto be32 = [&](int at) {
        const auto* p = reinterpret_cast<const unsigned char*>(png.constData() + at);
        return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
    };
    return {be32(16), be32(20)};
}

TEST(Icons, SvgSourcesAreWellFormedOnTheToolBarGrid)
{
    for (const char* name : kIcons) {
        const QByteArray svg = ReadResource(QStringLiteral(":/korvane/icons/%1.svg").arg(QLatin1String(name)));
        ASSERT_FALSE(svg.isEmpty()) << name;
        QXmlStreamReader xml(svg);
        ASSERT_TRUE(xml.readNextStartElement()) << name;
        EXPECT_EQ(xml.name(), QLatin1String("svg")) << name;
        EXPECT_EQ(xml.attributes().value(QLatin1String("width")), QLatin1String("16")) << name;
        EXPECT_EQ(xml.attributes().value(QLatin1String("height")), QLatin1String("15")) << name;
        EXPECT_EQ(xml.attributes().value(QLatin1String("viewBox")), QLatin1String("0 0 16 15")) << name;
        int shapes = 0;
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement)
                ++shapes;
        }
        EXPECT_FALSE(xml.hasError()) << name << ": " << xml.errorString().toStdString();
        EXPECT_GT(shapes, 0) << name << " draws nothing";
        // Drawn with shapes only: no embedded bitmaps, no text that depends on installed fonts.
        EXPECT_FALSE(svg.contains("<image")) << name;
        EXPECT_FALSE(svg.contains("<text")) << name;
    }
}

TEST(Icons, PngRenderingsHaveTheirSizes)
{
    for (const char* name : kIcons) {
        const auto one = PngSize(ReadResource(QStringLiteral(":/korvane/icons/%1.png").arg(QLatin1String(name))));
        const auto two = PngSize(ReadResource(QStringLiteral(":/korvane/icons/%1@2x.png").arg(QLatin1String(name))));
        EXPECT_EQ(one, std::make_pair(quint32(16), quint32(15))) << name;
        EXPECT_EQ(two, std::make_pair(quint32(32), quint32(30))) << name;
    }
}

}  // namespace
