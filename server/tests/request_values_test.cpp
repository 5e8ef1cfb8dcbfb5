// The server's reading of request arguments, device names, sensor-data locations and frame
// chunks: what is accepted, what is refused, and the bounds.
#include "request_values.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdlib>
#include <limits>

#include <gtest/gtest.h>

#include "camera_commands.h"
#include "camera_table.h"
#include "file_transfer.h"
#include "frame_table.h"

using namespace qrb;

namespace {

// A request as the server receives it: parsed from JSON text.
QVariantMap request(const char *json)
{
    return QJsonDocument::fromJson(json).object().toVariantMap();
}

TEST(RequestValues, MissingOrNullKeysReadAsZeroEmptyTextOrEmptyList)
{
    const QVariantMap r = request(R"({"n":null,"s":null,"l":null})");
    for (const char *key : {"n", "absent"}) {
        EXPECT_EQ(readU32(r, key), 0u);
        EXPECT_EQ(readI32(r, key), 0);
    }
    EXPECT_EQ(readString(r, "s"), QString());
    EXPECT_EQ(readList(r, "l"), QVariantList());
    EXPECT_EQ(readU32List(r, "absent", 4), std::vector<quint32>{});
}

TEST(RequestValues, IntegersAreTakenAcrossTheirWholeRange)
{
    const QVariantMap r =
        request(R"({"max":4294967295,"zero":0,"min":-2147483648,"imax":2147483647,"e":1e3})");
    EXPECT_EQ(readU32(r, "max"), 4294967295u);
    EXPECT_EQ(readU32(r, "zero"), 0u);
    EXPECT_EQ(readI32(r, "min"), std::numeric_limits<qint32>::min());
    EXPECT_EQ(readI32(r, "imax"), std::numeric_limits<qint32>::max());
    EXPECT_EQ(readU32(r, "e"), 1000u);
}

TEST(RequestValues, WrongTypesFractionsAndOutOfRangeNumbersAreRefused)
{
    const QVariantMap r = request(
        R"({"neg":-1,"big":4294967296,"frac":0.5,"text":"12","yes":true,"list":[1],"obj":{},)"
        R"("ibig":2147483648,"ismall":-2147483649,"huge":1e300})");
    for (const char *key : {"neg", "big", "frac", "text", "yes", "list", "obj", "huge"})
        EXPECT_FALSE(readU32(r, key)) << key;
    for (const char *key : {"ibig", "ismall", "frac", "text", "yes", "huge"})
        EXPECT_FALSE(readI32(r, key)) << key;
    EXPECT_EQ(readI32(r, "neg"), -1);
    EXPECT_FALSE(readString(r, "big"));
    EXPECT_FALSE(readList(r, "text"));
}

TEST(RequestValues, SixtyFourBitIntegersStopBelowTwoToTheSixtyThird)
{
    // 2^63 is exactly representable as a JSON number and must not wrap round.
    const QVariantMap r =
        request(R"({"big":9223372036854775808,"near":9007199254740992,"neg":-9223372036854775808,)"
                R"("frac":2.5,"text":"7"})");
    EXPECT_FALSE(readI64(r, "big"));
    EXPECT_EQ(readI64(r, "near"), qint64{1} << 53);
    EXPECT_EQ(readI64(r, "neg"), std::numeric_limits<qint64>::min());
    EXPECT_FALSE(readI64(r, "frac"));
    EXPECT_FALSE(readI64(r, "text"));
    EXPECT_EQ(readI64(r, "absent"), 0);
}

TEST(RequestValues, BooleansAreOnlyTrueOrFalse)
{
    const QVariantMap r = request(R"({"t":true,"f":false,"n":null,"one":1,"text":"true"})");
    EXPECT_EQ(readBool(r, "t"), true);
    EXPECT_EQ(readBool(r, "f"), false);
    EXPECT_EQ(readBool(r, "n"), false);
    EXPECT_EQ(readBool(r, "absent"), false);
    EXPECT_FALSE(readBool(r, "one"));
    EXPECT_FALSE(readBool(r, "text"));
}

TEST(TransferPaths, UnsafePathsAreRefused)
{
    for (const char *path : {"/tmp/a.bin", "rel/a.bin", "a", "/x/.hidden", "/x/a..b"})
        EXPECT_TRUE(isAcceptedPath(QString::fromUtf8(path), PathUse::Upload)) << path;
    for (const char *path : {"", "..", "../a", "/x/../a", "./a", "/x/.", "/x/", "a/"})
        EXPECT_FALSE(isAcceptedPath(QString::fromUtf8(path), PathUse::Download)) << path;
    EXPECT_FALSE(isAcceptedPath(QStringLiteral("a~temp"), PathUse::Upload));
    EXPECT_TRUE(isAcceptedPath(QStringLiteral("a~temp"), PathUse::Download));
    EXPECT_FALSE(
        isAcceptedPath(QStringLiteral("a") + QChar(0) + QStringLiteral("b"), PathUse::Upload));
    EXPECT_TRUE(isAcceptedPath(QString(kMaxPathBytes, QLatin1Char('a')), PathUse::Upload));
    EXPECT_FALSE(isAcceptedPath(QString(kMaxPathBytes + 1, QLatin1Char('a')), PathUse::Upload));
}

TEST(RequestValues, ListsAreRefusedWholeForOneBadElementOrBeyondTheLimit)
{
    const QVariantMap r = request(R"({"ok":[1,null,4294967295],"bad":[1,"2"],"neg":[-1]})");
    EXPECT_EQ(readU32List(r, "ok", 3), (std::vector<quint32>{1, 0, 4294967295u}));
    EXPECT_FALSE(readU32List(r, "ok", 2));
    EXPECT_FALSE(readU32List(r, "bad", 10));
    EXPECT_FALSE(readU32List(r, "neg", 10));
    EXPECT_EQ(readI32List(r, "neg", 10), std::vector<qint32>{-1});
}

TEST(RequestValues, SeveralFieldsAreReadOrNoneIs)
{
    quint32 a = 7, b = 7;
    EXPECT_TRUE(readU32Fields(request(R"({"a":1,"b":2})"), {{"a", &a}, {"b", &b}}));
    EXPECT_EQ(a, 1u);
    EXPECT_EQ(b, 2u);
    EXPECT_FALSE(readU32Fields(request(R"({"a":3,"b":-2})"), {{"a", &a}, {"b", &b}}));
}

TEST(DeviceNames, TheSlotIsTheDecimalNumberAfterSixCharacters)
{
    EXPECT_EQ(slotOfDeviceName("camera0"), 0);
    EXPECT_EQ(slotOfDeviceName("xxxxxx3"), 3);
    EXPECT_EQ(slotOfDeviceName("camera49"), 49);
    EXPECT_EQ(slotOfDeviceName("camera007"), 7);
    for (const char *name : {"camera", "cam3", "camera50", "camera-1", "camera+1", "camera 1",
                             "camera1 ", "camera1x", "camera99999999999", "cameraé"})
        EXPECT_FALSE(slotOfDeviceName(name)) << name;
    EXPECT_EQ(deviceNameOfSlot(12), "camera12");
}

TEST(DeviceNames, OnlyATextNamesACamera)
{
    // Every slot is empty here: resolution never reads past the table either way.
    EXPECT_EQ(pCameraFromFunc(request(R"({"deviceName":"camera1"})")), nullptr);
    EXPECT_EQ(pCameraFromFunc(request(R"({"deviceName":1})")), nullptr);
    EXPECT_EQ(pCameraFromFunc(request(R"({"deviceName":"camera60"})")), nullptr);
}

TEST(OpenLocations, AnXmlSensorFileIsLookedUpByNameAndAnythingElseUsesTheHome)
{
    const OpenLocations xml = openLocations("/data/sensors/ZX0201.XSDAT", "/home/qrb");
    EXPECT_EQ(xml.sensorDir, "ZX0201.XSDAT");
    EXPECT_EQ(xml.pluginPath, "/home/qrb/Plugins/libcsitransport.so");
    EXPECT_EQ(openLocations("zx0042.xsdat", "/h").sensorDir, "zx0042.xsdat");
    for (const char *other : {"", "/data/sensors", "/data/zx0201.sdat", "x.xsdat.bak"})
        EXPECT_EQ(openLocations(other, "/h").sensorDir, "/h/sensor_data") << other;
}

TEST(OpenLocations, HomeComesFromTheFirstSetVariable)
{
    const char *names[] = {"ZE_HOME", "ZE_HOME_DEV", "PWD"};
    for (const char *name : names)
        ::unsetenv(name);
    EXPECT_EQ(homePrefix(), ".");
    ::setenv("PWD", "/pwd", 1);
    EXPECT_EQ(homePrefix(), "/pwd");
    ::setenv("ZE_HOME_DEV", "/dev-home", 1);
    EXPECT_EQ(homePrefix(), "/dev-home");
    ::setenv("ZE_HOME", "", 1); // empty counts as unset
    EXPECT_EQ(homePrefix(), "/dev-home");
    ::setenv("ZE_HOME", "/home", 1);
    EXPECT_EQ(homePrefix(), "/home");
}

TEST(FrameChunks, DefaultChunkTailAndEnd)
{
    constexpr qint64 kImage = 300000;
    EXPECT_EQ(chunkRange(kImage, 0, 0, 0xFFFFFFFF).length, 131072);
    EXPECT_EQ(chunkRange(kImage, 262144, 0, 0xFFFFFFFF).length, 37856);
    EXPECT_EQ(chunkRange(kImage, 262144, 0, 0xFFFFFFFF).offset, 262144);
    EXPECT_EQ(chunkRange(kImage, 300000, 0, 0xFFFFFFFF).length, 0);
    EXPECT_EQ(chunkRange(kImage, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF).length, 0);
    // "bufferSize" limits what is available.
    EXPECT_EQ(chunkRange(kImage, 0, 1 << 20, 1000).length, 1000);
    EXPECT_EQ(chunkRange(kImage, 999, 1 << 20, 1000).length, 1);
    EXPECT_EQ(chunkRange(0, 0, 0, 0).length, 0);
}

TEST(FrameTable, EntriesAreKeptPerNameAndBoundedInNumberAndLength)
{
    FrameTable table;
    ZentroFrame *first = table.entry("camera0");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(table.entry("camera0"), first);
    EXPECT_NE(table.entry("xxxxxx0"), first);
    EXPECT_EQ(table.find("yyyyyy0"), nullptr);
    EXPECT_EQ(table.entry(QString(kMaxDeviceNameLength + 1, 'c')), nullptr);
    for (std::size_t i = 2; i < kMaxFrameEntries; ++i)
        ASSERT_NE(table.entry(QStringLiteral("name%1").arg(i)), nullptr);
    EXPECT_EQ(table.entry("one too many"), nullptr);
    EXPECT_EQ(table.entry("camera0"), first);
}

TEST(FrameTable, ResizeKeepsOldBytesAndRefusesWhatTheTableCannotHold)
{
    constexpr quint32 kFrameLimit = 1000;
    FrameTable table(kFrameLimit, 2 * kFrameLimit);
    ZentroFrame &frame = *table.entry("camera0");
    ASSERT_TRUE(table.resize(frame, 4));
    frame.data = {1, 2, 3, 4};
    ASSERT_TRUE(table.resize(frame, 6));
    EXPECT_EQ(frame.data, (std::vector<quint8>{1, 2, 3, 4, 0, 0}));
    ASSERT_TRUE(table.resize(frame, 2));
    EXPECT_EQ(frame.data, (std::vector<quint8>{1, 2}));

    EXPECT_FALSE(table.resize(frame, kFrameLimit + 1));
    EXPECT_EQ(frame.data.size(), 2u);
    // Two largest buffers fill the table; a third name gets nothing.
    ASSERT_TRUE(table.resize(frame, kFrameLimit));
    ASSERT_TRUE(table.resize(*table.entry("camera1"), kFrameLimit));
    ZentroFrame &third = *table.entry("camera2");
    EXPECT_FALSE(table.resize(third, 1));
    EXPECT_TRUE(third.data.empty());
    EXPECT_EQ(frame.data.capacity(), kFrameLimit);
}

} // namespace
