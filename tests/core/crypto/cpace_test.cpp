// CPace on ristretto255 + SHA-512 against the test vectors the CFRG draft
// publishes for that suite, and the abort and confirmation cases.

#include "core/crypto/cpace.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/crypto/crypto_init.h"

namespace {

std::string Hex(const void* data, size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < size; ++i) {
    const unsigned char c = static_cast<const unsigned char*>(data)[i];
    out += {kDigits[c >> 4], kDigits[c & 15]};
  }
  return out;
}
std::string Hex(const std::string& s) { return Hex(s.data(), s.size()); }

std::string Unhex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return out;
}

const unsigned char* U(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

// The draft's ristretto255 inputs and outputs.
const std::string kPrs = "Password";
const std::string kCi = Unhex("0b415f696e69746961746f720b425f726573706f6e646572");
const std::string kSid = Unhex("7e4b4791d6a8ef019b936c79fb7f2c57");
const std::string kYa = Unhex("da3d23700a9e5699258aef94dc060dfda5ebb61f02a5ea77fad53f4ff0976d08");
const std::string kYb = Unhex("d2316b454718c35362d83d69df6320f38578ed5984651435e2949762d900b80d");
const std::string kIsk =
    "b69effbf61b51d56401c0f65601abe428de8206feaaf0e32198896dcae7b35cd2b38950a39dfd5d4a79164614c"
    "2984f7daa460b588c1e80c3fa2068af7900447";
// The draft's valid case for the verifying multiplication.
const std::string kVfyScalar =
    Unhex("7cd0e075fa7955ba52c02759a6c90dbbfc10e6d40aea8d283e407d88cf538a05");
const std::string kVfyPoint = "2c3c6b8c4f3800e7aef6864025b4ed79bd599117e427c41bd47d93d654b4a51c";

class CpaceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(InitCrypto()); }

  static std::string Share(const std::string& scalar) {
    unsigned char g[kCpaceElementSize], out[kCpaceElementSize];
    CpaceCalculateGenerator(U(kPrs), kPrs.size(), kCi, kSid, g);
    EXPECT_TRUE(CpaceScalarMult(U(scalar), g, out));
    return std::string(reinterpret_cast<char*>(out), sizeof out);
  }
};

TEST_F(CpaceTest, StringHelpersMatchTheDraft) {
  EXPECT_EQ(Hex(CpacePrependLen("")), "00");
  std::string range128;
  for (int i = 0; i < 128; ++i) range128 += static_cast<char>(i);
  EXPECT_EQ(Hex(CpacePrependLen(range128.substr(0, 127))).substr(0, 4), "7f00");
  EXPECT_EQ(Hex(CpacePrependLen(range128)).substr(0, 6), "800100");
}

// Generator, both shares, the shared point, ISK and the session id output.
TEST_F(CpaceTest, ExchangeMatchesTheDraft) {
  unsigned char hash[kCpaceHashSize], g[kCpaceElementSize];
  CpaceGeneratorHash(U(kPrs), kPrs.size(), kCi, kSid, hash);
  EXPECT_EQ(Hex(hash, sizeof hash),
            "da6d3ddc8802fca9058755ffd3ebde08a9c2c74945901a258482a288b6663af06bf645c93cd1c515123071"
            "99c80e84908916d983b34af77205f90851a657ee27");
  CpaceCalculateGenerator(U(kPrs), kPrs.size(), kCi, kSid, g);
  EXPECT_EQ(Hex(g, sizeof g), "222b6b195fe84b1652badb6f6a3ae3d24341e7306967f0b8115b40d5698c7e56");
  const std::string ya = Share(kYa);
  const std::string yb = Share(kYb);
  EXPECT_EQ(Hex(ya), "d6bac480f2c386c394efc7c47adb9925dcd2630b64f240c50f8d0eec482b9157");
  EXPECT_EQ(Hex(yb), "3ea7e0b19560d7c0b0f5734f63b955286dfa8232b5ebe63324e2d9e7433f7258");
  const std::string k = "80b69a8a76457ab6a4d7f887a4bf6b55a2f80ac19c333f917a05fc9887c8b40f";
  unsigned char ka[kCpaceElementSize], kb[kCpaceElementSize];
  ASSERT_TRUE(CpaceScalarMultVfy(U(kYa), yb, ka));
  ASSERT_TRUE(CpaceScalarMultVfy(U(kYb), ya, kb));
  EXPECT_EQ(Hex(ka, sizeof ka), k);
  EXPECT_EQ(Hex(kb, sizeof kb), k);
  const std::string transcript = CpaceTranscriptIr(ya, "ADa", yb, "ADb");
  CpaceIsk(kSid, ka, transcript, hash);
  EXPECT_EQ(Hex(hash, sizeof hash), kIsk);
  CpaceSidOutput(transcript, hash);
  EXPECT_EQ(Hex(hash, sizeof hash),
            "bb1c449b35f0ea79a65c209f329a693d475e0ce2387bed9fe4b78f60b2a27c219813fb2cfe175ef40d2222"
            "d9261e66da7d78f7c55a303b1b8611dcdfab880c47");
  ASSERT_TRUE(CpaceScalarMultVfy(U(kVfyScalar), Unhex(kVfyPoint), ka));
  EXPECT_EQ(Hex(ka, sizeof ka), "7c13645fe790a468f62c39beb7388e541d8405d1ade69d1778c5fe3e7f6b600e");
}

// A share that does not decode, the identity, and a share of the wrong
// size each abort the run and leave no key behind.
TEST_F(CpaceTest, InvalidSharesAbort) {
  const std::string bad[] = {
      Unhex("2b" + kVfyPoint.substr(2)),
      std::string(32, '\0'),
      std::string(31, '\x01'),
      Unhex(kVfyPoint + "00"),
  };
  for (const std::string& x : bad) {
    unsigned char k[kCpaceElementSize];
    std::memset(k, 0xAA, sizeof k);
    EXPECT_FALSE(CpaceScalarMultVfy(U(kVfyScalar), x, k)) << Hex(x);
    EXPECT_EQ(Hex(k, sizeof k), std::string(64, '0'));
  }
}

// The tags over the draft's run, checked against HMAC-SHA-512 computed
// elsewhere: mac_key = SHA-512("CPaceMac" || sid || ISK), each tag over the
// sender's lv_cat(Y, AD). A changed AD or ISK gives another tag.
TEST_F(CpaceTest, ConfirmationTagsMatchAnIndependentHmac) {
  unsigned char isk[kCpaceHashSize], mac_key[kCpaceHashSize];
  std::memcpy(isk, Unhex(kIsk).data(), sizeof isk);
  CpaceMacKey(kSid, isk, mac_key);
  unsigned char ta[kCpaceTagSize], tb[kCpaceTagSize], changed[kCpaceTagSize];
  CpaceConfirmationTag(mac_key, Share(kYa), "ADa", ta);
  CpaceConfirmationTag(mac_key, Share(kYb), "ADb", tb);
  EXPECT_EQ(Hex(ta, sizeof ta),
            "30478d28d83ae3b214295e91f4a3eb62999a8ed94575075db4a7d3bc3e4d26f16c51adba12dc7771372637"
            "a46b5134e0937cddd7d820bfdd83be335e339eb57a");
  EXPECT_EQ(Hex(tb, sizeof tb),
            "e927a7da291676f8878caae9cb70407d2f14117e6f9ff9adcfda797c4bcf2bd2fefd2ca3f2ddcce81b7386"
            "996c895b2f359010cc92069d5ff4ad49a977de79a6");
  EXPECT_FALSE(CpaceTagsEqual(ta, tb));
  CpaceConfirmationTag(mac_key, Share(kYa), "ADb", changed);
  EXPECT_FALSE(CpaceTagsEqual(ta, changed));
  isk[0] ^= 1;
  CpaceMacKey(kSid, isk, mac_key);
  CpaceConfirmationTag(mac_key, Share(kYa), "ADa", changed);
  EXPECT_FALSE(CpaceTagsEqual(ta, changed));
}

}  // namespace
