// scripts/make-demo-set: the demo set, as a folder tree built by kxpack build --tree, has the
// delivered set's shape, passes kxpack's checks, and gives the same image on every run.
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
    kxtest::WriteFile(dir_ + "/stub.exe", kxtest::MakePe32());
  }
  RunResult MakeSet(const std::string &iface, const std::string &set = "set") {
    const char *source = std::getenv("KX_SOURCE_DIR");
    return kxtest::Run({std::string(source ? source : ".") + "/scripts/make-demo-set",
                        dir_ + "/" + set, dir_ + "/cleaner.exe", dir_ + "/bnstub.dll", iface,
                        dir_ + "/demo_stage.exe"});
  }
  // The image built from a set's tree.
  std::string Build(const std::string &set, const std::string &image) {
    RunResult r = Kxpack({"build", "--stub", dir_ + "/stub.exe", "--tree", dir_ + "/" + set,
                          "--output", dir_ + "/" + image});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return dir_ + "/" + image;
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
  EXPECT_EQ(kxtest::ListFolder(dir_ + "/set"),
            (std::vector<std::string>{"BN.ARJ", "STAGE.ARJ", "VeloDat.ARJ"}));
  const std::string image = Build("set", "setup.exe");
  RunResult verify = Kxpack({"verify", image});
  EXPECT_EQ(verify.exitCode, 0) << verify.out << verify.err;
  const std::string kxdata = dir_ + "/KXDATA.ARJ";
  kxtest::WriteFile(kxdata, kxtest::PayloadOf(kxtest::ReadFile(image)));

  std::vector<Member> outer = List(kxdata);
  EXPECT_EQ(Names(outer), (std::vector<std::string>{"BN.ARJ", "STAGE.ARJ", "VeloDat.ARJ"}));
  for (const Member &m : outer) EXPECT_EQ(m.method, "0") << m.name << ": archives are stored";

  std::string x = Extract(kxdata, dir_ + "/x");
  EXPECT_EQ(Names(List(x + "/BN.ARJ")), (std::vector<std::string>{"BNIFACE.DLL", "BNSTUB.DLL"}));
  std::vector<std::string> stage = Names(List(x + "/STAGE.ARJ"));
  EXPECT_EQ(stage, (std::vector<std::string>{"CORE.ARJ", "KXDELTMP.EXE", "STAGE.EXE"}));
  Extract(x + "/STAGE.ARJ", x);
  EXPECT_EQ(kxtest::ReadFile(x + "/STAGE.EXE"), kxtest::ReadFile(dir_ + "/demo_stage.exe"));
  EXPECT_EQ(kxtest::ReadFile(x + "/KXDELTMP.EXE"), kxtest::ReadFile(dir_ + "/cleaner.exe"));

  std::vector<Member> core = List(x + "/CORE.ARJ");
  ASSERT_GE(core.size(), 200u);
  std::set<std::string> names;
  const std::regex shortName("[A-Z0-9_-]{1,8}(\\.[A-Z0-9_-]{1,3})?");
  for (const Member &m : core) {
    names.insert(m.name);
    EXPECT_TRUE(std::regex_match(m.name, shortName)) << m.name;
  }
  EXPECT_EQ(names.size(), core.size()) << "member names repeat";
  EXPECT_EQ(names.count("BNSTUB.DLL"), 1u);
  EXPECT_EQ(names.count("BNIFACE.DLL"), 1u);
  for (const char *archive : {"/CORE.ARJ", "/VeloDat.ARJ"}) {
    RunResult t = Kxpack({"test", x + archive});
    EXPECT_EQ(t.exitCode, 0) << archive << "\n" << t.out;
    for (const Member &m : List(x + archive))
      EXPECT_TRUE(std::regex_match(m.name, shortName)) << m.name;
  }
}

TEST_F(DemoSetTest, EveryRunGivesTheSameImage) {
  ASSERT_EQ(MakeSet(dir_ + "/bniface.dll", "one").exitCode, 0);
  ASSERT_EQ(MakeSet(dir_ + "/bniface.dll", "two").exitCode, 0);
  const std::string one = kxtest::ReadFile(Build("one", "one.exe"));
  EXPECT_GT(one.size(), 100000u);
  EXPECT_TRUE(one == kxtest::ReadFile(Build("two", "two.exe")));
}

TEST_F(DemoSetTest, RefusesMissingInputsLongNamesAndAFullFolder) {
  RunResult r = MakeSet(dir_ + "/missing.dll");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("cannot read"), std::string::npos) << r.err;
  kxtest::WriteFile(dir_ + "/longinterface.dll", "x");
  r = MakeSet(dir_ + "/longinterface.dll");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("not an 8.3 name"), std::string::npos) << r.err;
  EXPECT_FALSE(kxtest::Exists(dir_ + "/set"));
  kxtest::Run({"/bin/mkdir", "-p", dir_ + "/set"});
  kxtest::WriteFile(dir_ + "/set/KEEP.TXT", "mine");
  r = MakeSet(dir_ + "/bniface.dll");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("not empty"), std::string::npos) << r.err;
  EXPECT_EQ(kxtest::ListFolder(dir_ + "/set"), std::vector<std::string>{"KEEP.TXT"});
  r = kxtest::Run({std::string(std::getenv("KX_SOURCE_DIR")) + "/scripts/make-demo-set"});
  EXPECT_EQ(r.exitCode, 2);
}

}  // namespace
