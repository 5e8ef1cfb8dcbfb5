// The register index answers exactly as a linear first-match scan, also while the array
// grows, after it changes and from several threads at once.
#include <gtest/gtest.h>

#include <atomic>
#include <utility>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "registers/index.h"
#include "registers/reg_test_database.h"
#include "support/test_support.h"

using zentro::RegisterIndex;
using zentro::scanRegistersByName;
using zentro::test::installSensor;
using zentro::test::makeRegisters;
using zentro::test::RegisterDef;
using zentro::test::TestCamera;

namespace {

// Owns a calloc'd register array as a reader would hand it out.
class RegisterArray
{
public:
    explicit RegisterArray(const std::vector<RegisterDef> &defs)
        : regs_(makeRegisters(defs, nullptr)), count_(static_cast<int32_t>(defs.size()))
    {
    }
    ~RegisterArray() { zentro::freeRegisters(regs_, count_); }
    RegisterArray(const RegisterArray &) = delete;
    RegisterArray &operator=(const RegisterArray &) = delete;

    ze_reg_t *regs() { return regs_; }
    int32_t count() const { return count_; }

private:
    ze_reg_t *regs_;
    int32_t count_;
};

// Registers whose names and external names collide often, in every letter case.
std::vector<RegisterDef> collidingRegisters(int32_t count, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> pick(0, count / 3);
    std::vector<RegisterDef> defs;
    for (int32_t i = 0; i < count; ++i) {
        RegisterDef def;
        def.name = (random() % 2 ? "Reg_" : "REG_") + std::to_string(pick(random));
        if (random() % 3 == 0)
            def.externalName = "reg_" + std::to_string(pick(random));
        def.addr = static_cast<uint32_t>(pick(random));
        defs.push_back(def);
    }
    return defs;
}

std::vector<int32_t> scanByAddress(const ze_reg_t *regs, int32_t count, uint32_t addr)
{
    std::vector<int32_t> found;
    for (int32_t i = 0; i < count; ++i) {
        if (regs[i].addr == addr)
            found.push_back(i);
    }
    return found;
}

TEST(RegisterIndex, AnswersAsALinearScanWouldForCollidingNames)
{
    constexpr int32_t kCount = 3000;
    RegisterArray array(collidingRegisters(kCount, 7));
    RegisterIndex index;
    for (int32_t n = 0; n <= kCount / 3 + 1; ++n) {
        for (const std::string &name : {"reg_" + std::to_string(n), "REG_" + std::to_string(n)})
            ASSERT_EQ(index.findByName(array.regs(), kCount, name.c_str()),
                      scanRegistersByName(array.regs(), kCount, name.c_str()))
                << name;
        ASSERT_EQ(index.findByAddress(array.regs(), kCount, static_cast<uint32_t>(n)),
                  scanByAddress(array.regs(), kCount, static_cast<uint32_t>(n)));
    }
}

TEST(RegisterIndex, RegistersAppendedToTheSameArrayAreFound)
{
    RegisterArray array({{"A", 1}, {"B", 2}, {"C", 3, {}, "a"}, {"D", 1}});
    RegisterIndex index;
    EXPECT_EQ(index.findByName(array.regs(), 2, "C"), -1);
    EXPECT_EQ(index.findByAddress(array.regs(), 2, 1), std::vector<int32_t>{0});
    // A reader filling its array counts the registers one by one.
    EXPECT_EQ(index.findByName(array.regs(), 3, "c"), 2);
    EXPECT_EQ(index.findByName(array.regs(), 3, "a"), 0) << "the first match stays first";
    EXPECT_EQ(index.findByAddress(array.regs(), 4, 1), (std::vector<int32_t>{0, 3}));
    EXPECT_EQ(index.findByName(array.regs(), 4, "D"), 3);
}

TEST(RegisterIndex, ShrunkOrReplacedArrayIsIndexedAfresh)
{
    RegisterArray first({{"A", 1}, {"B", 2}});
    RegisterArray second({{"X", 2}, {"A", 9}});
    RegisterIndex index;
    EXPECT_EQ(index.findByName(first.regs(), 2, "B"), 1);
    EXPECT_EQ(index.findByName(first.regs(), 1, "B"), -1);
    EXPECT_EQ(index.findByName(second.regs(), 2, "A"), 1);
    EXPECT_EQ(index.findByAddress(second.regs(), 2, 2), std::vector<int32_t>{0});
}

TEST(RegisterIndex, ContentsSwappedInPlaceAreNoticedByTheirEnds)
{
    RegisterArray array({{"A", 1}, {"B", 2}, {"C", 3}});
    RegisterIndex index;
    EXPECT_EQ(index.findByName(array.regs(), 3, "B"), 1);
    // Another file of the same size read into the same memory.
    zentro::copyText(array.regs()[0].name, "P");
    zentro::copyText(array.regs()[1].name, "Q");
    zentro::copyText(array.regs()[2].name, "R");
    EXPECT_EQ(index.findByName(array.regs(), 3, "Q"), 1);
    EXPECT_EQ(index.findByName(array.regs(), 3, "B"), -1);
}

TEST(RegisterIndex, InvalidateMakesInPlaceEditsVisible)
{
    RegisterArray array({{"A", 1}, {"B", 2}, {"C", 3}});
    RegisterIndex index;
    EXPECT_EQ(index.findByName(array.regs(), 3, "B"), 1);
    zentro::copyText(array.regs()[1].externalName, "BEE");
    index.invalidate();
    EXPECT_EQ(index.findByName(array.regs(), 3, "bee"), 1);
}

TEST(RegisterIndex, InPlaceEditsAreFollowedWithoutBeingAnnounced)
{
    RegisterArray array({{"A", 1}, {"B", 2, {{"EN", 0x1}}}, {"C", 3}});
    ze_reg_t *regs = array.regs();
    RegisterIndex index;
    ASSERT_EQ(index.findByName(regs, 3, "B"), 1);

    zentro::copyText(regs[1].externalName, "BEE");
    EXPECT_EQ(index.findByName(regs, 3, "bee"), 1);
    zentro::copyText(regs[2].name, "SEA");
    EXPECT_EQ(index.findByName(regs, 3, "C"), -1);
    EXPECT_EQ(index.findByName(regs, 3, "sea"), 2);
    zentro::copyText(regs[1].bitfields[0].name, "ENABLE");
    EXPECT_EQ(index.findBitfield(regs, 3, "B", "EN"), std::pair(1, -1));
    EXPECT_EQ(index.findBitfield(regs, 3, "bee", "enable"), std::pair(1, 0));
    zentro::copyText(regs[0].name, "OLD_A");
    EXPECT_EQ(index.findBitfield(regs, 3, "A", "EN"), std::pair(-1, -1));

    // A register moved to an address that had none is found there.
    regs[2].addr = 9;
    EXPECT_EQ(index.findByAddress(regs, 3, 9), std::vector<int32_t>{2});
    EXPECT_EQ(index.findFirstByAddress(regs, 3, 9, [](const ze_reg_t &) { return true; }), 2);
    EXPECT_EQ(index.findByAddress(regs, 3, 3), std::vector<int32_t>{});
    // Everything else is still answered, from an index built again.
    EXPECT_EQ(index.findByName(regs, 3, "OLD_A"), 0);
    EXPECT_EQ(index.findByAddress(regs, 3, 2), std::vector<int32_t>{1});
}

TEST(RegisterIndex, AddressChangedInPlaceIsNoticed)
{
    RegisterArray array({{"A", 1}, {"B", 2}, {"C", 3}});
    RegisterIndex index;
    EXPECT_EQ(index.findByAddress(array.regs(), 3, 2), std::vector<int32_t>{1});
    array.regs()[1].addr = 7;
    EXPECT_EQ(index.findByAddress(array.regs(), 3, 2), std::vector<int32_t>{});
    EXPECT_EQ(index.findByAddress(array.regs(), 3, 7), std::vector<int32_t>{1});
}

// Bitfields whose names and external names collide within each register.
std::vector<RegisterDef> collidingBitfields(int32_t count, unsigned seed)
{
    static const char *const kNames[] = {"EN", "en", "MODE", "Mode", "GAIN", "LEVEL", "X"};
    std::mt19937 random(seed);
    std::vector<RegisterDef> defs;
    for (int32_t i = 0; i < count; ++i) {
        RegisterDef def{"REG_" + std::to_string(i), static_cast<uint32_t>(i)};
        const uint32_t fields = random() % 8;
        for (uint32_t f = 0; f < fields; ++f) {
            const char *external = random() % 3 ? "" : kNames[random() % 7];
            def.bitfields.push_back({kNames[random() % 7], 1u << f, external});
        }
        defs.push_back(def);
    }
    return defs;
}

TEST(RegisterIndex, BitfieldsAnswerAsALinearScanWould)
{
    constexpr int32_t kCount = 500;
    RegisterArray array(collidingBitfields(kCount, 3));
    RegisterIndex index;
    for (int32_t r = 0; r < kCount; ++r) {
        const std::string regName = "reg_" + std::to_string(r);
        for (const char *name : {"en", "EN", "mode", "gain", "LEVEL", "x", "none", ""}) {
            auto [reg, bitfield] = index.findBitfield(array.regs(), kCount, regName.c_str(), name);
            ASSERT_EQ(reg, r);
            ASSERT_EQ(bitfield, zentro::scanBitfieldsByName(array.regs()[r], name))
                << regName << "::" << name;
        }
    }
    EXPECT_EQ(index.findBitfield(array.regs(), kCount, "NO_REG", "EN"), std::make_pair(-1, -1));
}

TEST(RegisterIndex, BitfieldBeyondTheLiveCountIsNeverHandedOut)
{
    RegisterArray array({{"R", 1, {{"A", 1}, {"B", 2}, {"C", 4}}}});
    RegisterIndex index;
    EXPECT_EQ(index.findBitfield(array.regs(), 1, "R", "c").second, 2);
    // The array shrank without telling the index.
    array.regs()[0].bitfieldCount = 2;
    EXPECT_EQ(index.findBitfield(array.regs(), 1, "R", "C").second, -1);
    EXPECT_EQ(index.findBitfield(array.regs(), 1, "R", "B").second, 1);
    array.regs()[0].bitfieldCount = 3;
}

TEST(RegisterIndex, FirstByAddressTakesTheFirstAcceptedRegister)
{
    RegisterArray array({{"A", 5}, {"B", 5}, {"C", 5}});
    RegisterIndex index;
    auto notA = [](const ze_reg_t &reg) { return reg.name[0] != 'A'; };
    EXPECT_EQ(index.findFirstByAddress(array.regs(), 3, 5, notA), 1);
    EXPECT_EQ(index.findFirstByAddress(array.regs(), 3, 6, notA), -1);
    EXPECT_EQ(index.findFirstByAddress(array.regs(), 3, 5, [](const ze_reg_t &) { return false; }),
              -1);
}

// Two threads look up on one camera at once, starting with its first lookup.
TEST(RegisterIndexThreads, ConcurrentLookupsAgreeWithTheScan)
{
    constexpr int32_t kCount = 4000;
    TestCamera camera;
    std::vector<RegisterDef> defs = collidingRegisters(kCount, 11);
    installSensor(camera, defs);
    std::atomic<int> mismatches{0};
    auto lookUpAll = [&](int stride) {
        const ze_sensor_t *sensor = camera->sensor;
        for (int32_t i = 0; i < kCount; i += stride) {
            const char *name = defs[i].name.c_str();
            ze_reg_t *expected =
                &sensor->regs[scanRegistersByName(sensor->regs, sensor->regCount, name)];
            if (ze_FindRegister(camera, name) != expected)
                ++mismatches;
            ze_reg_t *byAddr = ze_FindRegisterAddr(camera, defs[i].addr, 0, ZE_SPACE_REG);
            if (!byAddr || byAddr->addr != defs[i].addr || byAddr > &sensor->regs[i])
                ++mismatches;
        }
    };
    for (int round = 0; round < 5; ++round) {
        zentro::registersChanged(camera);
        std::thread other(lookUpAll, 3);
        lookUpAll(2);
        other.join();
    }
    EXPECT_EQ(mismatches.load(), 0);
}

} // namespace
