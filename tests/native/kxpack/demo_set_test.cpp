// scripts/make-demo-set: the demo installation set has the delivered set's shape, and every
// archive in it passes kxpack's checks.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "tests/native/kxpack/pe_writer.h"
#include "tests/native/kxpack/support.h"

namespace {

using kxtest::Kxpack;
using kxtest::RunResult;

struct Member {
  std::string method, name;
};

std::vector<Member> List(const std::string &archive) {
  RunResult r = Kxpack({"list", archive});
  EXPECT_EQ(r.exitCode, 0) << archive << ": " << r.err;
  std::vector<Member> members;
  for (const auto &w : kxtest::Words(r.out))
    if (w.size() == 6) members.push_back({w[1], w[5]});
  return members;
}

std::vector<std::string> Names(const std::vector<Member> &members) {
  std::vector<std::string> names;
  for (const Member &m : members) names.push_back(m.name);
  return names;
}

class DemoSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = kxtest::FreshFolder();
    kxtest::WriteFile(dir_ + "/cleaner.exe", kxtest::MakePe32());
    kxtest::WriteFile(dir_ + "/bnstub.dll", kxtest::NoiseContent(1, 3000));
    kxtest::WriteFile(dir_ + "/bniface.dll", kxtest::NoiseContent(2, 2000));
    kxtest::WriteFile(dir_ + "/demo_stage.exe", kxtest::MakePe32(0x400));
  }
  RunResult MakeSet(const std::string &iface) {
    const char *source = std::getenv("KX_SOURCE_DIR");
    return kxtest::Run({std::string(source ? source : ".") + "/scripts/make-demo-set",
                        dir_ + "/set", dir_ + "/cleaner.exe", dir_ + "/bnstub.dll", iface,
                        dir_ + "/demo_stage.exe"});
  }
  std::string Extract(const std::string &archive, const std::string &into) {
    RunResult r = Kxpack({"extract", archive, into});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    return into;
  }
  std::string dir_;
};

TEST_F(DemoSetTest, HasTheDeliveredShape) {
  RunResult made = MakeSet(dir_ + "/bniface.dll");
  ASSERT_EQ(made.exitCode, 0) << made.out << made.err;
  const std::string kxdata = dir_ + "/set/KXDATA.ARJ";
  EXPECT_EQ(kxtest::ListFolder(dir_ + "/set"), std::vector<std::string>{"KXDATA.ARJ"});

  std::vector<Member> outer = List(kxdata);
  ASSERT_EQ(outer.size(), 3u);
  EXPECT_EQ(outer[0].name, "STAGE.ARJ");
  EXPECT_EQ(outer[0].method, "0");
  EXPECT_EQ(outer[1].name, "BN.ARJ");
  EXPECT_EQ(outer[1].method, "0");
  EXPECT_EQ(outer[2].name, "VELODAT.ARJ");
  EXPECT_EQ(outer[2].method, "1");

  std::string x = Extract(kxdata, dir_ + "/x");
  EXPECT_EQ(Names(List(x + "/BN.ARJ")), (std::vector<std::string>{"BNSTUB.DLL", "BNIFACE.DLL"}));
  std::vector<std::string> stage = Names(List(x + "/STAGE.ARJ"));
  EXPECT_EQ(stage, (std::vector<std::string>{"STAGE.EXE", "KXDELTMP.EXE", "CORE.ARJ"}));
  Extract(x + "/STAGE.ARJ", x);
  EXPECT_EQ(kxtest::ReadFile(x + "/STAGE.EXE"), kxtest::ReadFile(dir_ + "/demo_stage.exe"));
  EXPECT_EQ(kxtest::ReadFile(x + "/KXDELTMP.EXE"), kxtest::ReadFile(dir_ + "/cleaner.exe"));

  std::vector<Member> core = List(x + "/CORE.ARJ");
  ASSERT_GE(core.size(), 200u);
  EXPECT_EQ(core[core.size() - 2].name, "BNSTUB.DLL");
  EXPECT_EQ(core[core.size() - 1].name, "BNIFACE.DLL");
  std::set<std::string> methods, names;
  const std::regex shortName("[A-Z0-9_-]{1,8}(\\.[A-Z0-9_-]{1,3})?");
  for (const Member &m : core) {
    methods.insert(m.method);
    names.insert(m.name);
    EXPECT_TRUE(std::regex_match(m.name, shortName)) << m.name;
  }
  EXPECT_EQ(names.size(), core.size()) << "member names repeat";
  EXPECT_GE(methods.size(), 3u) << "expected mixed methods";
  for (const char *archive : {"/CORE.ARJ", "/VELODAT.ARJ"}) {
    RunResult t = Kxpack({"test", x + archive});
    EXPECT_EQ(t.exitCode, 0) << archive << "\n" << t.out;
    for (const Member &m : List(x + archive))
      EXPECT_TRUE(std::regex_match(m.name, shortName)) << m.name;
  }
}

TEST_F(DemoSetTest, RefusesMissingInputsAndLongNames) {
  RunResult r = MakeSet(dir_ + "/missing.dll");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("cannot read"), std::string::npos) << r.err;
  kxtest::WriteFile(dir_ + "/longinterface.dll", "x");
  r = MakeSet(dir_ + "/longinterface.dll");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("not an 8.3 name"), std::string::npos) << r.err;
  EXPECT_FALSE(kxtest::Exists(dir_ + "/set/KXDATA.ARJ"));
  r = kxtest::Run({std::string(std::getenv("KX_SOURCE_DIR")) + "/scripts/make-demo-set"});
  EXPECT_EQ(r.exitCode, 2);
}

}  // namespace
