// kxpack build and kxpack info, driven as a subprocess: every refusal of build leaves no
// output behind, a payload packed from a folder tree has the tree's shape and the same bytes
// on every build, and info reports the stamp and whether the payload is all there.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "arjenc/archive_writer.h"
#include "arjenc/dos_time.h"
#include "base/stamp.h"
#include "kx_version.h"
#include "tests/native/kxpack/pe_writer.h"
#include "tests/native/kxpack/support.h"

namespace {

using kxtest::Kxpack;
using kxtest::RunResult;

// A payload as small as an archive gets: a main header named KXDATA.ARJ and the end marker.
std::string MinimalArchive() {
  arjenc::MemorySink archive;
  arjenc::ArchiveWriter("KXDATA.ARJ", arjenc::PackOptions(), &archive).Finish();
  return kxtest::ToString(archive.bytes);
}

class BuildTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = kxtest::FreshFolder();
    stub_ = dir_ + "/stub.exe";
    payload_ = dir_ + "/payload.arj";
    output_ = dir_ + "/out/image.exe";
    kxtest::WriteFile(stub_, kxtest::MakePe32());
    kxtest::WriteFile(payload_, MinimalArchive());
    kxtest::Run({"/bin/mkdir", "-p", dir_ + "/out"});
  }

  RunResult Build(std::vector<std::string> extra = {}) {
    std::vector<std::string> args{"build",  "--stub",   stub_,  "--payload",
                                  payload_, "--output", output_};
    args.insert(args.end(), extra.begin(), extra.end());
    return Kxpack(args);
  }

  // A refused build leaves the output folder as it was.
  void ExpectRefused(const RunResult &r, const std::string &reason) {
    kxtest::ExpectRefused(r, reason, dir_ + "/out");
  }
  void ExpectUsageError(const RunResult &r, const std::string &reason) {
    kxtest::ExpectUsageError(r, reason, dir_ + "/out");
  }
  // A build from this stub is refused.
  void ExpectStubRefused(const std::string &stub, const std::string &reason) {
    kxtest::WriteFile(stub_, stub);
    ExpectRefused(Build(), reason);
  }

  std::string dir_, stub_, payload_, output_;
};

TEST_F(BuildTest, BuildsStubPlusPayloadWithTheStampInTheDosHeader) {
  RunResult r = Build({"--silent", "255", "--required-mb", "600"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::string stub = kxtest::ReadFile(stub_), image = kxtest::ReadFile(output_);
  std::string payload = kxtest::ReadFile(payload_);
  ASSERT_EQ(image.size(), stub.size() + payload.size());
  EXPECT_EQ(image.substr(stub.size()), payload);
  EXPECT_EQ(image.substr(0, kx::kStampOffset), stub.substr(0, kx::kStampOffset));
  EXPECT_EQ(image.substr(kx::kStampOffset + kx::kStampSize, stub.size() - 45),
            stub.substr(kx::kStampOffset + kx::kStampSize))
      << "only the stamp may change";
  kx::StampRecord s =
      kx::DecodeStamp(reinterpret_cast<const unsigned char *>(image.data()) + kx::kStampOffset);
  EXPECT_EQ(s.payloadOffset, int(stub.size()));
  EXPECT_EQ(s.payloadLength, int(payload.size()));
  EXPECT_EQ(s.silent, -1);
  EXPECT_EQ(s.requiredMB, 600);
  EXPECT_EQ(kxtest::ListFolder(dir_ + "/out"), std::vector<std::string>{"image.exe"});
}

TEST_F(BuildTest, TakesTheWholeRangeOfSilentAndRequiredMb) {
  ASSERT_EQ(Build({"--silent", "128", "--required-mb", "4294967295"}).exitCode, 0);
  RunResult info = Kxpack({"info", output_});
  EXPECT_NE(info.out.find("silent: -128\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("requiredMB: 4294967295\n"), std::string::npos) << info.out;
  ASSERT_EQ(Build({"--silent", "010", "--required-mb", "0600"}).exitCode, 0) << "decimal";
  info = Kxpack({"info", output_});
  EXPECT_NE(info.out.find("silent: 10\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("requiredMB: 600\n"), std::string::npos) << info.out;
  ASSERT_EQ(Build().exitCode, 0) << "defaults";
  info = Kxpack({"info", output_});
  EXPECT_NE(info.out.find("silent: 0\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("requiredMB: 0\n"), std::string::npos) << info.out;
}

TEST_F(BuildTest, RefusesMissingOrUnreadableInputs) {
  stub_ = dir_ + "/missing.exe";
  ExpectRefused(Build(), "cannot read stub");
  stub_ = dir_ + "/out/../";  // a folder, not a file
  ExpectRefused(Build(), "cannot read stub");
  stub_ = dir_ + "/stub.exe";
  payload_ = dir_ + "/missing.arj";
  ExpectRefused(Build(), "cannot read payload");
  payload_ = dir_;
  ExpectRefused(Build(), "cannot read payload");
  if (geteuid() != 0) {  // permissions do not stop the superuser
    payload_ = dir_ + "/locked.arj";
    kxtest::WriteFile(payload_, MinimalArchive());
    ASSERT_EQ(chmod(payload_.c_str(), 0), 0);
    ExpectRefused(Build(), "cannot read payload");
  }
}

TEST_F(BuildTest, RefusesAStubThatIsNotAPeImage) {
  ExpectStubRefused("just some text, long enough to have a DOS header's size.........",
                    "stub is not a PE image");
  std::string noSignature = kxtest::MakePe32();
  noSignature[0x41] = 'X';
  ExpectStubRefused(noSignature, "stub is not a PE image");
  std::string badOffset = kxtest::MakePe32();
  kxtest::PutLe32(&badOffset, 0x3C, 0x7FFFFFF0);
  ExpectStubRefused(badOffset, "stub is not a PE image");
  // The section table cut off.
  ExpectStubRefused(kxtest::MakePe32().substr(0, 0x100), "stub is not a PE image");
}

TEST_F(BuildTest, RefusesAStubCarryingDataAfterItsLastSection) {
  ExpectStubRefused(kxtest::MakePe32() + "appended", "data after its last section");
}

TEST_F(BuildTest, RefusesAStubTheStampWouldDamage) {
  // The PE headers moved down to 0x2C: the stamp's last byte would overwrite the signature.
  std::string low = kxtest::MakePe32();
  low.erase(0x2C, 0x40 - 0x2C);
  kxtest::PutLe32(&low, 0x3C, 0x2C);
  ExpectStubRefused(low, "PE header offset lies inside the stamp");
  // The section cut short.
  ExpectStubRefused(kxtest::MakePe32().substr(0, 0x300),
                    "shorter than the end of its last section");
}

// The product's stub is PE32; its x86-64 test build makes PE32+ stubs. Both are built, refused
// once signed, and found complete when the image is signed afterwards.
TEST_F(BuildTest, RefusesASignedStubOfEitherFormat) {
  ASSERT_STRNE(KX_OPENSSL, "");
  ASSERT_STRNE(KX_OSSLSIGNCODE, "");
  // A throwaway certificate, made for this run only.
  RunResult cert = kxtest::Run({KX_OPENSSL, "req", "-x509", "-newkey", "rsa:2048", "-nodes",
                                "-keyout", dir_ + "/key.pem", "-out", dir_ + "/cert.pem", "-days",
                                "1", "-subj", "/CN=kxpack test"});
  ASSERT_EQ(cert.exitCode, 0) << cert.err;
  auto sign = [&](const std::string &in, const std::string &out) {
    RunResult r = kxtest::Run({KX_OSSLSIGNCODE, "sign", "-certs", dir_ + "/cert.pem", "-key",
                               dir_ + "/key.pem", "-in", in, "-out", out});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  };
  const std::string unsignedStub = dir_ + "/stub.exe";
  for (const std::string &format : {kxtest::MakePe32(), kxtest::MakePe32Plus()}) {
    SCOPED_TRACE(format == kxtest::MakePe32() ? "PE32" : "PE32+");
    kxtest::WriteFile(unsignedStub, format);
    stub_ = dir_ + "/signed.exe";
    std::remove(stub_.c_str());
    sign(unsignedStub, stub_);
    ExpectRefused(Build(), "stub is signed");

    // Signing a built image appends the certificate table after the payload; info still
    // finds the payload complete.
    stub_ = unsignedStub;
    ASSERT_EQ(Build().exitCode, 0);
    const std::string signedImage = dir_ + "/signed-image.exe";
    std::remove(signedImage.c_str());
    sign(output_, signedImage);
    RunResult info = Kxpack({"info", signedImage});
    EXPECT_EQ(info.exitCode, 0) << info.out << info.err;
    EXPECT_NE(info.out.find("payload: complete"), std::string::npos) << info.out;
    RunResult verify = Kxpack({"verify", signedImage});
    EXPECT_EQ(verify.exitCode, 0) << verify.out << verify.err;
    std::remove(output_.c_str());
  }
}

TEST_F(BuildTest, RefusesAPayloadWithoutAValidMainHeader) {
  const std::string good = MinimalArchive();
  std::string badId = good;
  badId[1] = char(0xEB);
  kxtest::WriteFile(payload_, badId);
  ExpectRefused(Build(), "header id");
  kxtest::WriteFile(payload_, "PK\x03\x04 this is some other format");
  ExpectRefused(Build(), "header id");
  std::string sizeZero = good;
  kxtest::PutLe16(&sizeZero, 2, 0);
  kxtest::WriteFile(payload_, sizeZero);
  ExpectRefused(Build(), "bad size");
  std::string tooBig = good + std::string(3000, '\0');
  kxtest::PutLe16(&tooBig, 2, 2601);
  kxtest::WriteFile(payload_, tooBig);
  ExpectRefused(Build(), "bad size");
  std::string badCrc = good;
  badCrc[4 + 30] = 'Q';  // first letter of the name, under the CRC
  kxtest::WriteFile(payload_, badCrc);
  ExpectRefused(Build(), "fails its CRC");
  kxtest::WriteFile(payload_, good.substr(0, 20));
  ExpectRefused(Build(), "truncated");
  kxtest::WriteFile(payload_, "");
  ExpectRefused(Build(), "header id");
}

TEST_F(BuildTest, RefusesOutOfRangeNumbersAndBadArguments) {
  for (const char *v : {"256", "-1", "+1", "abc", "", "1x", "99999999999999999999", "0x10", " 1"})
    ExpectUsageError(Build({"--silent", v}), "kxpack build: --silent takes a number");
  for (const char *v : {"4294967296", "-1", "ten", ""})
    ExpectUsageError(Build({"--required-mb", v}), "--required-mb takes a number");
  ExpectUsageError(Build({"--silent"}), "missing value after --silent");
  ExpectUsageError(Build({"--bogus", "1"}), "unknown option --bogus");
  ExpectUsageError(Build({"extra"}), "takes options only, not extra");
  ExpectUsageError(Kxpack({"build", "--stub", stub_, "--payload", payload_}), "are required");
}

TEST_F(BuildTest, ARefusedBuildLeavesAnExistingOutputUntouched) {
  kxtest::WriteFile(output_, "previous image");
  kxtest::WriteFile(payload_, "not an archive");
  RunResult r = Build();
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(kxtest::ReadFile(output_), "previous image");
  EXPECT_EQ(kxtest::ListFolder(dir_ + "/out"), std::vector<std::string>{"image.exe"});
}

TEST_F(BuildTest, RefusesAnOutputItCannotCreate) {
  output_ = dir_ + "/no/such/folder/image.exe";
  RunResult r = Build();
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("cannot create"), std::string::npos) << r.err;
}

// build --tree: the payload packed from a folder tree, *.ARJ folders as member archives.
class TreeTest : public BuildTest {
 protected:
  void SetUp() override {
    BuildTest::SetUp();
    tree_ = dir_ + "/tree";
  }
  // Writes a file of the tree, making its folders.
  void Put(const std::string &path, const std::string &data) {
    const std::string full = tree_ + "/" + path;
    kxtest::Run({"/bin/mkdir", "-p", full.substr(0, full.rfind('/'))});
    kxtest::WriteFile(full, data);
  }
  RunResult BuildTree(const std::string &tree, std::vector<std::string> extra = {}) {
    std::vector<std::string> args{"build", "--stub", stub_, "--tree", tree, "--output", output_};
    args.insert(args.end(), extra.begin(), extra.end());
    return Kxpack(args);
  }
  // name -> method of each member, in archive order.
  std::vector<std::pair<std::string, std::string>> Members(const std::string &archive) {
    RunResult r = Kxpack({"list", archive});
    EXPECT_EQ(r.exitCode, 0) << archive << ": " << r.err;
    std::vector<std::pair<std::string, std::string>> m;
    for (const auto &w : kxtest::Words(r.out))
      if (w.size() == 6) m.push_back({w[5], w[1]});
    return m;
  }
  std::string Payload() { return kxtest::PayloadOf(kxtest::ReadFile(output_)); }
  void PutDeliveredLayout() {
    Put("STAGE.ARJ/stage.exe", kxtest::MakePe32(0x400));
    Put("STAGE.ARJ/KXDELTMP.EXE", kxtest::MakePe32());
    Put("STAGE.ARJ/CORE.ARJ/PRODUCT.DLL", kxtest::NoiseContent(1, 9000));
    Put("STAGE.ARJ/CORE.ARJ/README.TXT", kxtest::TextContent(2, 30000));
    Put("STAGE.ARJ/CORE.ARJ/EMPTY.DAT", "");
    Put("BN.ARJ/bnstub.dll", kxtest::NoiseContent(3, 3000));
    Put("BN.ARJ/bnapi.dll", kxtest::NoiseContent(4, 2000));
    Put("VeloDat.ARJ/VELO0001.DAT", kxtest::TextContent(5, 12000));
  }
  std::string tree_;
};

TEST_F(TreeTest, PacksTheDeliveredLayoutFromFolders) {
  PutDeliveredLayout();
  RunResult r = BuildTree(tree_, {"--silent", "1", "--required-mb", "600"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  RunResult verify = Kxpack({"verify", output_});
  EXPECT_EQ(verify.exitCode, 0) << verify.out << verify.err;
  const std::string x = dir_ + "/x";
  kxtest::WriteFile(dir_ + "/payload.arj", Payload());
  using M = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(Members(dir_ + "/payload.arj"),
            (M{{"BN.ARJ", "0"}, {"STAGE.ARJ", "0"}, {"VeloDat.ARJ", "0"}}))
      << "archives stored, in byte order of their names";
  ASSERT_EQ(Kxpack({"extract", dir_ + "/payload.arj", x}).exitCode, 0);
  ASSERT_EQ(Kxpack({"extract", x + "/STAGE.ARJ", x + "/stage"}).exitCode, 0);
  EXPECT_EQ(kxtest::ListFolder(x + "/stage"),
            (std::vector<std::string>{"CORE.ARJ", "KXDELTMP.EXE", "stage.exe"}));
  ASSERT_EQ(Kxpack({"extract", x + "/stage/CORE.ARJ", x + "/core"}).exitCode, 0);
  for (const char *f : {"PRODUCT.DLL", "README.TXT", "EMPTY.DAT"})
    EXPECT_EQ(kxtest::ReadFile(x + "/core/" + f),
              kxtest::ReadFile(tree_ + "/STAGE.ARJ/CORE.ARJ/" + f))
        << f;
  EXPECT_EQ(kxtest::ReadFile(x + "/stage/stage.exe"), kxtest::MakePe32(0x400));
  // The arj archiver and 7-Zip take what we made, nested archives included.
  ASSERT_STRNE(KX_7ZZ, "");
  for (const std::string &a : {x + "/STAGE.ARJ", x + "/stage/CORE.ARJ", x + "/BN.ARJ"}) {
    EXPECT_EQ(kxtest::Run({KX_ARJ_ARCHIVER, "t", "-y", a}).exitCode, 0) << a;
    EXPECT_EQ(kxtest::Run({KX_7ZZ, "t", a}).exitCode, 0) << a;
  }
}

TEST_F(TreeTest, MembersGoInByteOrderAndArchiveFilesAreStored) {
  for (const char *name : {"b", "B.TXT", "a", "_x", "Z.arj", "PRE.ARJ"})
    Put(name, kxtest::TextContent(9, 5000));
  ASSERT_EQ(BuildTree(tree_, {"--method", "4"}).exitCode, 0);
  kxtest::WriteFile(dir_ + "/payload.arj", Payload());
  std::vector<std::string> names;
  for (const auto &m : Members(dir_ + "/payload.arj")) {
    names.push_back(m.first);
    if (m.first.find(".ARJ") != std::string::npos || m.first.find(".arj") != std::string::npos)
      EXPECT_EQ(m.second, "0") << m.first;
    else
      EXPECT_TRUE(m.second == "0" || m.second == "4") << m.first << " " << m.second;
  }
  EXPECT_EQ(names, (std::vector<std::string>{"B.TXT", "PRE.ARJ", "Z.arj", "_x", "a", "b"}));
}

TEST_F(TreeTest, RefusesFoldersAndNamesItCannotPack) {
  // Each tree by the files in it.
  struct Case {
    std::vector<std::string> files;
    const char *reason;
  } cases[] = {
      {{"BN.ARJ/docs/readme.txt"}, "must be named *.ARJ"},
      {{"docs/readme.txt"}, "must be named *.ARJ"},
      {{"STAGE.ARJ/setup.ini", "STAGE.ARJ/SETUP.INI"}, "given twice"},
      {{"CORE.ARJ/LPT1.DLL"}, "not a safe file name"},
      {{"CORE.ARJ/\xC3\xBC"
        "ber.txt"},
       "not plain ASCII"},
  };
  for (const Case &c : cases) {
    for (const std::string &file : c.files) Put(file, file);
    ExpectRefused(BuildTree(tree_), c.reason);
    kxtest::Run({"/bin/rm", "-rf", tree_});
  }
  Put("CORE.ARJ/a.txt", "a");
  ASSERT_EQ(symlink("/dev/null", (tree_ + "/CORE.ARJ/null").c_str()), 0);
  ExpectRefused(BuildTree(tree_), "neither a file nor a folder");
  ExpectRefused(BuildTree(dir_ + "/no-such-tree"), "no folder");
  kxtest::Run({"/bin/rm", "-rf", tree_});
  Put("A.ARJ/A.ARJ/A.ARJ/A.ARJ/A.ARJ/A.ARJ/A.ARJ/ok.txt", "eight levels, the payload first");
  ASSERT_EQ(BuildTree(tree_).exitCode, 0);
  kxtest::Run({"/bin/rm", "-f", output_});
  ASSERT_EQ(symlink("..", (tree_ + "/A.ARJ/UP.ARJ").c_str()), 0);  // a loop
  ExpectRefused(BuildTree(tree_), "nested more than 8 levels");
  ExpectUsageError(Kxpack({"build", "--stub", stub_, "--tree", tree_, "--payload", payload_,
                           "--output", output_}),
                   "one of --payload and --tree");
  ExpectUsageError(BuildTree(tree_, {"--method", "3"}), "--method takes 0, 1 or 4");
}

TEST_F(TreeTest, SameTreeSameBytesWhateverTheFileTimesUnderSourceDateEpoch) {
  PutDeliveredLayout();
  const std::string first = tree_;
  // The same files in another folder, written in the opposite order, with other times.
  tree_ = dir_ + "/tree2";
  Put("VeloDat.ARJ/VELO0001.DAT", kxtest::TextContent(5, 12000));
  Put("BN.ARJ/bnapi.dll", kxtest::NoiseContent(4, 2000));
  Put("BN.ARJ/bnstub.dll", kxtest::NoiseContent(3, 3000));
  Put("STAGE.ARJ/CORE.ARJ/EMPTY.DAT", "");
  Put("STAGE.ARJ/CORE.ARJ/README.TXT", kxtest::TextContent(2, 30000));
  Put("STAGE.ARJ/CORE.ARJ/PRODUCT.DLL", kxtest::NoiseContent(1, 9000));
  Put("STAGE.ARJ/KXDELTMP.EXE", kxtest::MakePe32());
  Put("STAGE.ARJ/stage.exe", kxtest::MakePe32(0x400));
  ASSERT_EQ(kxtest::Run(
                {"/usr/bin/find", tree_, "-exec", "/usr/bin/touch", "-d", "2001-02-03", "{}", "+"})
                .exitCode,
            0);
  ASSERT_EQ(setenv("SOURCE_DATE_EPOCH", "1705320000", 1), 0);
  ASSERT_EQ(BuildTree(first).exitCode, 0);
  const std::string a = kxtest::ReadFile(output_);
  ASSERT_EQ(BuildTree(tree_).exitCode, 0);
  const std::string b = kxtest::ReadFile(output_);
  unsetenv("SOURCE_DATE_EPOCH");
  EXPECT_FALSE(a.empty());
  EXPECT_TRUE(a == b) << "two builds of the same tree differ";
  // Without it the times come from the files, which differ here.
  ASSERT_EQ(BuildTree(first).exitCode, 0);
  const std::string c = kxtest::ReadFile(output_);
  ASSERT_EQ(BuildTree(tree_).exitCode, 0);
  EXPECT_EQ(c.size(), a.size());
  EXPECT_FALSE(c == kxtest::ReadFile(output_));
}

// The archive a folder of the tree makes, made whole in memory by the archive writer, as
// kxpack made it before it wrote archives in place: files carry SOURCE_DATE_EPOCH's time,
// member archives the time of their main header.
std::string WholeArchive(const std::string &dir, const std::string &name, std::uint32_t time,
                         std::uint32_t *archiveTime = nullptr) {
  arjenc::MemorySink sink;
  arjenc::ArchiveWriter writer(name, arjenc::PackOptions(), &sink);
  for (const std::string &entry : kxtest::ListFolder(dir)) {
    const std::string path = dir + "/" + entry;
    struct stat st;
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    const bool isArchive = entry.size() > 4 && (entry.substr(entry.size() - 4) == ".ARJ" ||
                                                entry.substr(entry.size() - 4) == ".arj");
    std::uint32_t memberTime = time;
    const std::string data =
        S_ISDIR(st.st_mode) ? WholeArchive(path, entry, time, &memberTime) : kxtest::ReadFile(path);
    EXPECT_TRUE(writer.Add(entry, reinterpret_cast<const std::uint8_t *>(data.data()), data.size(),
                           memberTime, isArchive))
        << path;
  }
  writer.Finish();
  if (archiveTime) *archiveTime = writer.time();
  return kxtest::ToString(sink.bytes);
}

TEST_F(TreeTest, ArchivesMadeInPlaceAreTheBytesOfArchivesMadeWhole) {
  PutDeliveredLayout();
  // Members larger than what the writer gathers before it writes, archives four deep, and
  // an archive of nothing.
  Put("STAGE.ARJ/CORE.ARJ/BIG.BIN", kxtest::NoiseContent(6, 3 << 20));
  Put("STAGE.ARJ/CORE.ARJ/BIG.TXT", kxtest::TextContent(7, 5 << 20));
  Put("STAGE.ARJ/CORE.ARJ/DEEP.ARJ/DEEPER.ARJ/LAST.TXT", kxtest::TextContent(8, 70000));
  kxtest::Run({"/bin/mkdir", "-p", tree_ + "/EMPTY.ARJ"});
  Put("z-after.txt", "a file after the archives");
  ASSERT_EQ(setenv("SOURCE_DATE_EPOCH", "1705320000", 1), 0);
  const RunResult r = BuildTree(tree_);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  unsetenv("SOURCE_DATE_EPOCH");
  const std::string image = kxtest::ReadFile(output_);
  const std::string want = WholeArchive(tree_, "KXDATA.ARJ", arjenc::DosTimeUtc(1705320000));
  EXPECT_EQ(image.substr(0, kx::kStampOffset), kxtest::MakePe32().substr(0, kx::kStampOffset));
  EXPECT_TRUE(kxtest::PayloadOf(image) == want)
      << "payload " << kxtest::PayloadOf(image).size() << " bytes, made whole " << want.size();
  EXPECT_EQ(image.size(), kxtest::MakePe32().size() + want.size());
}

TEST_F(TreeTest, AWriteFailureInsideAMemberArchiveLeavesNothingBehind) {
  PutDeliveredLayout();
  Put("STAGE.ARJ/CORE.ARJ/BIG.BIN", kxtest::NoiseContent(6, 3 << 20));
  // A file size limit stands for a full disk: writes past it fail (the signal it would send
  // is ignored), halfway through CORE.ARJ.
  const std::string command = "trap '' XFSZ; ulimit -f 2048; exec \"$@\"";
  RunResult r = kxtest::Run({"/bin/sh", "-c", command, "sh", KXPACK_BIN, "build", "--stub", stub_,
                             "--tree", tree_, "--output", output_});
  ExpectRefused(r, "cannot write " + output_);
  // The same limit is no hindrance to a smaller set: the test fails for the right reason.
  kxtest::Run({"/bin/rm", "-f", tree_ + "/STAGE.ARJ/CORE.ARJ/BIG.BIN"});
  r = kxtest::Run({"/bin/sh", "-c", command, "sh", KXPACK_BIN, "build", "--stub", stub_, "--tree",
                   tree_, "--output", output_});
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

class InfoTest : public BuildTest {};

TEST_F(InfoTest, ShowsTheStampAndACompletePayload) {
  ASSERT_EQ(Build({"--silent", "1", "--required-mb", "600"}).exitCode, 0);
  std::size_t stubSize = kxtest::ReadFile(stub_).size();
  std::size_t payloadSize = kxtest::ReadFile(payload_).size();
  RunResult r = Kxpack({"info", output_});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "payloadOffset: " + std::to_string(stubSize) + "\npayloadLength: " +
                       std::to_string(payloadSize) + "\nsilent: 1\nrequiredMB: 600\nimageLength: " +
                       std::to_string(stubSize + payloadSize) + "\npayload: complete\n");
}

TEST_F(InfoTest, ExactLengthAndTrailingBytesAreCompleteOneByteShortIsTruncated) {
  ASSERT_EQ(Build().exitCode, 0);
  std::string image = kxtest::ReadFile(output_);
  kxtest::WriteFile(output_, image + std::string(6, '\0') + "certificate table");
  RunResult r = Kxpack({"info", output_});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("payload: complete"), std::string::npos) << r.out;

  kxtest::WriteFile(output_, image.substr(0, image.size() - 1));
  r = Kxpack({"info", output_});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("payload: truncated"), std::string::npos) << r.out;
}

TEST_F(InfoTest, NegativeStampFieldsNeverCountAsComplete) {
  ASSERT_EQ(Build().exitCode, 0);
  std::string image = kxtest::ReadFile(output_);
  kxtest::PutLe32(&image, kx::kStampOffset + 4, 0xFFFFFFFFu);  // length -1
  kxtest::WriteFile(output_, image);
  RunResult r = Kxpack({"info", output_});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("payloadLength: -1\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("payload: truncated"), std::string::npos) << r.out;
}

TEST_F(InfoTest, RefusesNonPeMissingFilesAndBadArguments) {
  kxtest::WriteFile(dir_ + "/text.exe", "MZ but nothing else that makes a PE image at all....");
  RunResult r = Kxpack({"info", dir_ + "/text.exe"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("not a PE image"), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.empty());
  r = Kxpack({"info", dir_ + "/missing.exe"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("cannot open"), std::string::npos) << r.err;
  r = Kxpack({"info", dir_});
  EXPECT_EQ(r.exitCode, 1);
  kxtest::ExpectUsageError(Kxpack({"info"}), "kxpack info: expects IMAGE");
  kxtest::ExpectUsageError(Kxpack({"info", "a", "b"}), "kxpack info: expects IMAGE");
}

// The command line every command shares: help on stdout, the version, the exit codes.
TEST(CommandLineTest, HelpGoesToStdoutAndExitsZero) {
  const RunResult general = Kxpack({"--help"});
  EXPECT_EQ(general.exitCode, 0);
  EXPECT_TRUE(general.err.empty()) << general.err;
  EXPECT_EQ(general.out.compare(0, 14, "usage: kxpack "), 0) << general.out;
  for (const char *command : {"build", "pack", "info", "list", "test", "extract", "verify"})
    EXPECT_NE(general.out.find(std::string("\n  ") + command + " "), std::string::npos)
        << command << " missing from\n"
        << general.out;
  EXPECT_EQ(Kxpack({"-h"}).out, general.out);
  EXPECT_EQ(Kxpack({"help"}).out, general.out);
  for (const char *command : {"build", "pack", "info", "list", "test", "extract", "verify"}) {
    SCOPED_TRACE(command);
    const RunResult help = Kxpack({"help", command});
    EXPECT_EQ(help.exitCode, 0);
    const std::string head = std::string("usage: kxpack ") + command + " ";
    EXPECT_EQ(help.out.compare(0, head.size(), head), 0) << help.out;
    // Asked after the command, among other arguments, even a wrong one: the same text.
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{command, "--help"}, {command, "a", "-h", "b", "c"}}) {
      const RunResult again = Kxpack(args);
      EXPECT_EQ(again.exitCode, 0);
      EXPECT_EQ(again.out, help.out);
      EXPECT_TRUE(again.err.empty()) << again.err;
    }
  }
  EXPECT_NE(Kxpack({"help", "pack"}).out.find("--threads N"), std::string::npos);
}

TEST(CommandLineTest, VersionIsTheProjectsOne) {
  const RunResult r = Kxpack({"--version"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, std::string("kxpack ") + KX_VERSION_TEXT + "\n");
  EXPECT_TRUE(r.err.empty());
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '.'), 3) << "four fields, as the resource's";
}

TEST(CommandLineTest, WrongCommandLinesExitTwoWithTheUsageOnStderr) {
  RunResult r = Kxpack({});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err.compare(0, 14, "usage: kxpack "), 0) << r.err;
  EXPECT_TRUE(r.out.empty());
  r = Kxpack({"frobnicate"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "kxpack: unknown command 'frobnicate'\n(kxpack --help lists the commands)\n");
  r = Kxpack({"help", "frobnicate"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "kxpack help: unknown command 'frobnicate'\n");
  EXPECT_TRUE(r.out.empty());
  kxtest::ExpectUsageError(Kxpack({"list", "-x", "a.arj"}), "kxpack list: unknown option -x");
  kxtest::ExpectUsageError(Kxpack({"list", "--quiet", "a.arj"}), "unknown option --quiet");
  kxtest::ExpectUsageError(Kxpack({"extract", "--quiet", "a.arj"}), "expects ARCHIVE DIR");
  // After --, a name that looks like an option is an operand.
  r = Kxpack({"list", "--", "--help"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "kxpack list: cannot open --help\n");
}

}  // namespace
