// Global-parameter records, lists and text encodings.
#include <cstring>

#include "params/gp_support.hpp"

namespace kiv::test {
namespace {

// The conversion's text; "<failed>" when it refuses.
std::string convert(int (*fn)(char **, const char *), const std::string &s) {
  char *out = nullptr;
  if (fn(&out, s.c_str()) != 0) return "<failed>";
  std::string r = out;
  KIVGP_String_Free(&out);
  EXPECT_EQ(out, nullptr);
  return r;
}

TEST(GpEncoding, Latin1AndUtf8ConvertByteByByte) {
  const auto toLatin1 = KIVGP_String_ConvertFromUTF8ToLatin1;
  const auto toUtf8 = KIVGP_String_ConvertFromLatin1ToUTF8;
  const struct {
    int (*fn)(char **, const char *);
    const char *in, *out;
  } cases[] = {
      {toLatin1, "caf\xC3\xA9", "caf\xE9"},   {toUtf8, "caf\xE9", "caf\xC3\xA9"},
      {toLatin1, "\xC2\xB0" "C", "\xB0" "C"}, {toLatin1, "1 \xE2\x82\xAC", "1 ?"},  // euro: beyond Latin-1
      {toLatin1, "\xF0\x9F\x98\x80!", "?!"},  {toLatin1, "a\xA9" "b", "ab"},        // stray continuation byte
      {toUtf8, "a\x85" "b", "ab"},  // C1 controls are dropped
      {toUtf8, "\xFF", "\xC3\xBF"},            {toLatin1, "", ""},
  };
  for (const auto &c : cases) EXPECT_EQ(convert(c.fn, c.in), c.out) << c.in;
  std::string all;  // every Latin-1 byte from 0xA0 survives the round trip
  for (int c = 0xA0; c <= 0xFF; ++c) all.push_back(static_cast<char>(c));
  EXPECT_EQ(convert(toLatin1, convert(toUtf8, all)), all);
  // An output that already holds a text is refused and left alone.
  char *held = strdup("x");
  EXPECT_EQ(toLatin1(&held, "y"), -1);
  EXPECT_STREQ(held, "x");
  EXPECT_EQ(toUtf8(nullptr, "y"), -1);
  KIVGP_String_Free(&held);
  // Numbers out of the type's range, or signed for an unsigned one, are refused.
  int i = 0;
  unsigned long u = 0;
  EXPECT_EQ(KIVGPPrivate_String_ToInt("99999999999", &i), -1);
  EXPECT_EQ(KIVGPPrivate_String_ToUnsignedLong("-7", &u), -1);
}

TEST(GpRecord, GettersAndSettersKeepToTheFieldsOfTheType) {
  EXPECT_EQ(KIVGP_GP_CreateText(nullptr, "t", "v", "d", nullptr, nullptr), nullptr);
  Records r;
  r.add(KIVGP_GP_CreateReal("p", "Pump speed", "15", "bar", "0", "30", "10", "0", "p"));
  r.add(KIVGP_GP_CreateInt("n", "Count", "3", "1", "9", "2", nullptr, nullptr));
  r.add(KIVGP_GP_CreateText("s", "Label", "abc", "def", nullptr, nullptr));
  // Integers have no unit, texts no bounds.
  char *out = nullptr;
  EXPECT_EQ(KIVGP_GP_GetUnit(r[1], &out), -1);
  EXPECT_EQ(KIVGP_GP_SetMaxValue(r[2], "5"), -1);
  EXPECT_EQ(KIVGP_GP_SetUnit(r[0], nullptr), 1);
  EXPECT_EQ(KIVGP_GP_SetMaxValue(r[1], "12"), 1);
  // A getter refuses an output that already holds a text, and leaves it.
  EXPECT_EQ(KIVGP_GP_GetMaxValue(r[1], &out), 1);
  EXPECT_EQ(KIVGP_GP_GetName(r[1], &out), -1);
  EXPECT_STREQ(out, "12");
  KIVGP_String_Free(&out);
  EXPECT_EQ(KIVGP_GP_GetDataPath(r[1], &out), 1);
  EXPECT_EQ(out, nullptr);  // absent stays absent
}

TEST(GpRecord, EnumerationsBelongToIntegers) {
  Records r;
  r.add(KIVGP_GP_CreateInt("mode", "Mode", "1", "0", "2", "0", nullptr, nullptr));
  r.add(KIVGP_GP_CreateReal("x", "X", "1", "m", "0", "2", "0", nullptr, nullptr));
  const char *labels[] = {"off", "slow", "fast"};
  auto strings = const_cast<char *const *>(labels);
  EXPECT_EQ(KIVGP_GP_SetEnum(r[1], strings, 3), -1);
  ASSERT_EQ(KIVGP_GP_SetEnum(r[0], strings, 3), 1);
  EXPECT_EQ(KIVGP_GP_IsEnum(r[0]), 1);
  KIVGP_StringList got = nullptr;
  unsigned n = 0;
  ASSERT_EQ(KIVGP_GP_GetEnum(r[0], &got, &n), 1);
  EXPECT_EQ(names(got, static_cast<int>(n)), (std::vector<std::string>{"off", "slow", "fast"}));
  EXPECT_NE(got[0], r[0]->enum_strings[0]);  // a copy
  KIVGP_StringList_Free(&got, 0);  // frees nothing
  KIVGP_StringList_Free(&got, static_cast<int>(n));
  EXPECT_EQ(KIVGP_GP_SetEnum(r[0], nullptr, 0), 1);
  EXPECT_EQ(KIVGP_GP_IsEnum(r[0]), 0);
}

TEST(GpRecord, SupercomponentRule) {
  Records r;
  r.add(KIVGP_GP_CreateReal("p", "", "1", "", "", "", "", "0", "p"));
  r.add(KIVGP_GP_CreateReal("p", "", "1", "", "", "", "", "2", nullptr));
  r.add(KIVGP_GP_CreateReal("p", "", "1", "", "", "", "", nullptr, "sc1.p"));
  r.add(KIVGP_GP_CreateText("zz__HIDDEN_1", "", "", "", nullptr, nullptr));
  r.add(KIVGP_GP_CreateText("q", "", "", "", "", ""));
  const int expected[] = {0, 1, 1, 1, 0};
  for (unsigned i = 0; i < r.size(); ++i) EXPECT_EQ(KIVGP_GP_IsLocalToSC(r[i]), expected[i]) << i;
  EXPECT_EQ(KIVGP_GP_IsLocalToSC(nullptr), -1);
}

TEST(GpRecord, CopyIsDeepAndConversionsLeaveTheEnumeration) {
  KIVGP_GP *a = KIVGP_GP_CreateInt("n\xC3\xA9", "T\xC3\xA9te", "1", "0", "9", "1", "0", "n");
  const char *e[] = {"\xC3\xA9t\xC3\xA9"};
  KIVGP_GP_SetEnum(a, const_cast<char *const *>(e), 1);
  KIVGP_GP_SetEvalOrder(a, 4);
  KIVGP_GP *b = KIVGPPrivate_GP_Create();
  ASSERT_EQ(KIVGPPrivate_GP_Copy(a, b), 1);
  KIVGP_GP_Destroy(&a);
  ASSERT_EQ(KIVGPPrivate_GP_ConvertFromUTF8ToLatin1(b), 1);
  EXPECT_EQ(describe(b), "2 4 n\xE9|T\xE9te|1|<absent>|0|9|1|0|n|\xC3\xA9t\xC3\xA9");
  KIVGP_GP_Destroy(&b);
}

TEST(GpList, RemoveTakesEveryRecordOfTheNameWithoutDestroyingIt) {
  Records r;
  KIVGP_GP *p1 = KIVGP_GP_CreateText("p", "", "1", "", nullptr, nullptr);
  KIVGP_GP *q = KIVGP_GP_CreateText("q", "", "2", "", nullptr, nullptr);
  KIVGP_GP *p2 = KIVGP_GP_CreateText("p", "", "3", "", nullptr, nullptr);
  EXPECT_EQ(KIVGP_GPList_Remove(r.list, "p"), -1);  // empty list
  for (KIVGP_GP *gp : {p1, q, p2}) r.add(gp);
  EXPECT_EQ(KIVGP_GPList_Remove(r.list, "zz"), -1);
  EXPECT_EQ(r.size(), 3u);
  EXPECT_EQ(KIVGP_GPList_Remove(r.list, "p"), 0);
  KIVGP_GP *at = nullptr;
  EXPECT_EQ(KIVGP_GPList_GetAt(r.list, 1, &at), -1);
  EXPECT_EQ(KIVGP_GPList_GetAt(r.list, 0, &at), 0);
  EXPECT_EQ(at, q);  // the held record, not a copy
  KIVGP_GP_Destroy(&p1);
  KIVGP_GP_Destroy(&p2);
}

TEST(GpFiles, PathsJoinDirectoryNameKindAndExtension) {
  char *p = KIVGPPrivate_IO_ComputeFilePath("velquor", "/data", ".kivgp", ".run1");
  EXPECT_STREQ(p, "/data/velquor_.kivgp.run1");
  KIVGP_String_Free(&p);
  p = KIVGPPrivate_IO_ComputeFilePath("m", "", ".gp", "");
  EXPECT_STREQ(p, "./m_.gp");  // an empty directory is the current one, never the root
  KIVGP_String_Free(&p);
  EXPECT_EQ(KIVGPPrivate_IO_ComputeFilePath("m", nullptr, ".gp", ""), nullptr);
}

}  // namespace
}  // namespace kiv::test
