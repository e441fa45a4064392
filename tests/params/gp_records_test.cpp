// Global-parameter records, lists and text encodings.
#include <cstring>

#include "params/gp_support.hpp"

namespace {

using kiv::test::Records;
using kiv::test::text;

std::string toLatin1(const std::string &s) {
  char *out = nullptr;
  EXPECT_EQ(KIVGP_String_ConvertFromUTF8ToLatin1(&out, s.c_str()), 0);
  std::string r = out;
  KIVGP_String_Free(&out);
  EXPECT_EQ(out, nullptr);
  return r;
}

std::string toUtf8(const std::string &s) {
  char *out = nullptr;
  EXPECT_EQ(KIVGP_String_ConvertFromLatin1ToUTF8(&out, s.c_str()), 0);
  std::string r = out;
  KIVGP_String_Free(&out);
  return r;
}

TEST(GpEncoding, Latin1AndUtf8ConvertByteByByte) {
  EXPECT_EQ(toLatin1("caf\xC3\xA9"), "caf\xE9");
  EXPECT_EQ(toUtf8("caf\xE9"), "caf\xC3\xA9");
  EXPECT_EQ(toLatin1("\xC2\xB0" "C"), "\xB0" "C");  // degree sign
  EXPECT_EQ(toLatin1("1 \xE2\x82\xAC"), "1 ?");       // euro: beyond Latin-1
  EXPECT_EQ(toLatin1("\xF0\x9F\x98\x80!"), "?!");
  EXPECT_EQ(toLatin1("a\xA9" "b"), "ab");  // stray continuation byte
  EXPECT_EQ(toUtf8("a\x85" "b"), "ab");    // C1 controls are dropped
  EXPECT_EQ(toUtf8("\xFF"), "\xC3\xBF");
  EXPECT_EQ(toLatin1(""), "");
  // Every Latin-1 byte from 0xA0 survives the round trip.
  std::string all;
  for (int c = 0xA0; c <= 0xFF; ++c) all.push_back(static_cast<char>(c));
  EXPECT_EQ(toLatin1(toUtf8(all)), all);
  char *held = strdup("x");
  EXPECT_EQ(KIVGP_String_ConvertFromUTF8ToLatin1(&held, "y"), -1);
  EXPECT_STREQ(held, "x");
  EXPECT_EQ(KIVGP_String_ConvertFromLatin1ToUTF8(nullptr, "y"), -1);
  KIVGP_String_Free(&held);
}

TEST(GpEncoding, StringUtilities) {
  char *out = nullptr;
  ASSERT_EQ(KIVGPPrivate_String_EscapeForXML("a<b & c", &out), 0);
  EXPECT_STREQ(out, "a&lt;b &amp; c");
  KIVGP_String_Free(&out);
  ASSERT_EQ(KIVGPPrivate_String_EscapeForXML("&lt;\"'>", &out), 0);
  EXPECT_STREQ(out, "&amp;lt;&quot;&apos;&gt;");
  KIVGP_String_Free(&out);
  ASSERT_EQ(KIVGPPrivate_String_RemoveSpace(" 2 * x\t", &out), 0);
  EXPECT_STREQ(out, "2*x\t");
  KIVGP_String_Free(&out);
  ASSERT_EQ(KIVGPPrivate_String_ReplaceChar(&out, "a b c", ' ', "%20"), 0);
  EXPECT_STREQ(out, "a%20b%20c");
  EXPECT_EQ(KIVGPPrivate_String_ReplaceChar(&out, "x", 'x', "y"), -1);  // output must be empty
  KIVGP_String_Free(&out);
  char t[] = "a_b_c";
  EXPECT_EQ(KIVGPPrivate_String_SubstituteChars(t, '_', ' '), 2);
  EXPECT_STREQ(t, "a b c");
  double d = 0;
  int i = 0;
  unsigned long u = 0;
  EXPECT_EQ(KIVGPPrivate_String_ToDouble(" 1.5e3x", &d), 0);
  EXPECT_EQ(d, 1500.0);
  EXPECT_EQ(KIVGPPrivate_String_ToInt("-42", &i), 0);
  EXPECT_EQ(i, -42);
  EXPECT_EQ(KIVGPPrivate_String_ToInt("99999999999", &i), -1);
  EXPECT_EQ(KIVGPPrivate_String_ToUnsignedLong("7", &u), 0);
  EXPECT_EQ(u, 7UL);
  EXPECT_EQ(KIVGPPrivate_String_ToUnsignedLong("-7", &u), -1);
  EXPECT_EQ(KIVGPPrivate_String_ToDouble(nullptr, &d), -1);
  EXPECT_EQ(KIVGPPrivate_String_ToInt("abc", &i), -1);
}

TEST(GpRecord, CreateFillsTheFieldsOfItsType) {
  EXPECT_EQ(KIVGP_GP_CreateReal("", "t", "1", "bar", "0", "2", "1", nullptr, nullptr), nullptr);
  EXPECT_EQ(KIVGP_GP_CreateText(nullptr, "t", "v", "d", nullptr, nullptr), nullptr);
  Records r;
  r.add(KIVGP_GP_CreateReal("p", "Pump speed", "15", "bar", "0", "30", "10", "0", "p"));
  r.add(KIVGP_GP_CreateInt("n", "Count", "3", "1", "9", "2", nullptr, nullptr));
  r.add(KIVGP_GP_CreateText("s", "Label", "abc", "def", nullptr, nullptr));
  int type = 0, order = 0;
  EXPECT_EQ(KIVGP_GP_GetType(r[0], &type), 1);
  EXPECT_EQ(type, KIVGP_TYPE_REAL);
  EXPECT_EQ(KIVGP_GP_GetEvalOrder(r[1], &order), 1);
  EXPECT_EQ(order, -1);
  char *out = nullptr;
  EXPECT_EQ(KIVGP_GP_GetUnit(r[0], &out), 1);
  EXPECT_STREQ(out, "bar");
  KIVGP_String_Free(&out);
  EXPECT_EQ(KIVGP_GP_GetUnit(r[1], &out), -1);  // integers have no unit
  EXPECT_EQ(KIVGP_GP_GetMinValue(r[2], &out), -1);
  EXPECT_EQ(KIVGP_GP_SetMaxValue(r[2], "5"), -1);
  EXPECT_EQ(KIVGP_GP_SetMaxValue(r[1], nullptr), -1);
  EXPECT_EQ(KIVGP_GP_SetMaxValue(r[1], "12"), 1);
  EXPECT_EQ(KIVGP_GP_GetMaxValue(r[1], &out), 1);
  EXPECT_STREQ(out, "12");
  // A getter refuses an output that already holds a text, and leaves it.
  EXPECT_EQ(KIVGP_GP_GetName(r[1], &out), -1);
  EXPECT_STREQ(out, "12");
  KIVGP_String_Free(&out);
  EXPECT_EQ(KIVGP_GP_GetDataPath(r[1], &out), 1);
  EXPECT_EQ(out, nullptr);  // absent stays absent
  EXPECT_EQ(KIVGP_GP_SetValue(r[2], nullptr), 1);
  EXPECT_EQ(r[2]->value, nullptr);
  EXPECT_EQ(KIVGP_GP_SetUnit(r[0], nullptr), 1);
  EXPECT_EQ(r[0]->unit, nullptr);
  EXPECT_EQ(KIVGP_GP_GetName(nullptr, &out), -1);
  EXPECT_EQ(KIVGP_GP_GetType(nullptr, &type), -1);
  EXPECT_EQ(KIVGP_GP_IsEnum(nullptr), -1);
}

TEST(GpRecord, EnumerationsBelongToIntegers) {
  Records r;
  r.add(KIVGP_GP_CreateInt("mode", "Mode", "1", "0", "2", "0", nullptr, nullptr));
  r.add(KIVGP_GP_CreateReal("x", "X", "1", "m", "0", "2", "0", nullptr, nullptr));
  const char *labels[] = {"off", "slow", "fast"};
  auto strings = const_cast<char *const *>(labels);
  EXPECT_EQ(KIVGP_GP_IsEnum(r[0]), 0);
  EXPECT_EQ(KIVGP_GP_SetEnum(r[1], strings, 3), -1);
  EXPECT_EQ(KIVGP_GP_SetEnum(r[0], nullptr, 2), -1);
  ASSERT_EQ(KIVGP_GP_SetEnum(r[0], strings, 3), 1);
  EXPECT_EQ(KIVGP_GP_IsEnum(r[0]), 1);
  KIVGP_StringList got = nullptr;
  unsigned n = 0;
  ASSERT_EQ(KIVGP_GP_GetEnum(r[0], &got, &n), 1);
  EXPECT_EQ(kiv::test::names(got, static_cast<int>(n)),
            (std::vector<std::string>{"off", "slow", "fast"}));
  EXPECT_NE(got[0], r[0]->enum_strings[0]);  // a copy
  EXPECT_EQ(KIVGP_GP_GetEnum(r[0], &got, &n), -1);
  KIVGP_StringList_Free(&got, static_cast<int>(n));
  EXPECT_EQ(got, nullptr);
  EXPECT_EQ(KIVGP_GP_SetEnum(r[0], nullptr, 0), 1);
  EXPECT_EQ(KIVGP_GP_IsEnum(r[0]), 0);
  EXPECT_EQ(KIVGP_GP_GetEnum(r[0], &got, &n), -1);
}

TEST(GpRecord, SupercomponentRule) {
  Records r;
  r.add(KIVGP_GP_CreateReal("p", "", "1", "", "", "", "", "0", "p"));
  r.add(KIVGP_GP_CreateReal("p", "", "1", "", "", "", "", "2", nullptr));
  r.add(KIVGP_GP_CreateReal("p", "", "1", "", "", "", "", nullptr, "sc1.p"));
  r.add(KIVGP_GP_CreateText("zz__HIDDEN_1", "", "", "", nullptr, nullptr));
  r.add(KIVGP_GP_CreateText("q", "", "", "", "", ""));
  EXPECT_EQ(KIVGP_GP_IsLocalToSC(r[0]), 0);
  EXPECT_EQ(KIVGP_GP_IsLocalToSC(r[1]), 1);
  EXPECT_EQ(KIVGP_GP_IsLocalToSC(r[2]), 1);
  EXPECT_EQ(KIVGP_GP_IsLocalToSC(r[3]), 1);
  EXPECT_EQ(KIVGP_GP_IsLocalToSC(r[4]), 0);
  EXPECT_EQ(KIVGP_GP_IsLocalToSC(nullptr), -1);
}

TEST(GpRecord, CopyIsDeepAndConversionsTouchTheNineTexts) {
  KIVGP_GP *a = KIVGP_GP_CreateInt("n\xC3\xA9", "T\xC3\xA9te", "1", "0", "9", "1", "0", "n");
  const char *e[] = {"\xC3\xA9t\xC3\xA9"};
  KIVGP_GP_SetEnum(a, const_cast<char *const *>(e), 1);
  KIVGP_GP_SetEvalOrder(a, 4);
  KIVGP_GP *b = KIVGPPrivate_GP_Create();
  ASSERT_EQ(KIVGPPrivate_GP_Copy(a, b), 1);
  KIVGP_GP_Destroy(&a);
  EXPECT_EQ(a, nullptr);
  EXPECT_EQ(b->eval_order, 4);
  ASSERT_EQ(KIVGPPrivate_GP_ConvertFromUTF8ToLatin1(b), 1);
  EXPECT_STREQ(b->name, "n\xE9");
  EXPECT_STREQ(b->title, "T\xE9te");
  EXPECT_STREQ(b->enum_strings[0], "\xC3\xA9t\xC3\xA9");  // enumeration untouched
  KIVGP_GP_Destroy(&b);
}

TEST(GpList, AppendRemoveAndAccess) {
  Records r;
  KIVGP_GP *p1 = KIVGP_GP_CreateText("p", "", "1", "", nullptr, nullptr);
  KIVGP_GP *q = KIVGP_GP_CreateText("q", "", "2", "", nullptr, nullptr);
  KIVGP_GP *p2 = KIVGP_GP_CreateText("p", "", "3", "", nullptr, nullptr);
  EXPECT_EQ(KIVGP_GPList_Remove(r.list, "p"), -1);  // empty list
  r.add(p1);
  r.add(q);
  r.add(p2);
  EXPECT_EQ(KIVGP_GPList_Append(r.list, nullptr), -1);
  EXPECT_EQ(KIVGP_GPList_Remove(r.list, "zz"), -1);
  unsigned n = 0;
  EXPECT_EQ(KIVGP_GPList_GetSize(r.list, &n), 0);
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(KIVGP_GPList_Remove(r.list, "p"), 0);
  EXPECT_EQ(r.size(), 1u);
  KIVGP_GP *at = nullptr;
  EXPECT_EQ(KIVGP_GPList_GetAt(r.list, 0, &at), 0);
  EXPECT_EQ(at, q);  // the held record, not a copy
  EXPECT_EQ(KIVGP_GPList_GetAt(r.list, 1, &at), -1);
  // Removing does not destroy.
  KIVGP_GP_Destroy(&p1);
  KIVGP_GP_Destroy(&p2);
  KIVGP_GPList *both = KIVGP_GPList_Create();
  ASSERT_EQ(KIVGPPrivate_GPList_Concatenate(both, r.list, r.list), 0);
  EXPECT_EQ(both->count, 2u);
  EXPECT_EQ(both->items[1], q);
  KIVGP_GPList_Destroy(&both);
  EXPECT_EQ(both, nullptr);
}

TEST(GpList, StringListsGrowByAppending) {
  KIVGP_StringList list = nullptr;
  int n = 0;
  for (const char *s : {"a", "b", "c"}) n = KIVGPPrivate_StringList_Append(&list, n, s);
  EXPECT_EQ(n, 3);
  KIVGP_StringList copy = nullptr;
  EXPECT_EQ(KIVGPPrivate_StringList_Copy(&copy, list, n), 3);
  EXPECT_EQ(kiv::test::names(copy, 3), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(KIVGPPrivate_StringList_Copy(&copy, nullptr, 2), 0);
  KIVGP_StringList_Free(&list, n);
  KIVGP_StringList_Free(&copy, n);
  EXPECT_EQ(list, nullptr);
}

TEST(GpFiles, PathsJoinDirectoryNameKindAndExtension) {
  char *p = KIVGPPrivate_IO_ComputeFilePath("velquor", "/data", ".kivgp", ".run1");
  EXPECT_STREQ(p, "/data/velquor_.kivgp.run1");
  KIVGP_String_Free(&p);
  // An empty directory is the current one, never the root.
  p = KIVGPPrivate_IO_ComputeFilePath("m", "", ".gp", "");
  EXPECT_STREQ(p, "./m_.gp");
  KIVGP_String_Free(&p);
  EXPECT_EQ(KIVGPPrivate_IO_ComputeFilePath("m", nullptr, ".gp", ""), nullptr);
  FILE *fp = nullptr;
  EXPECT_EQ(KIVGPPrivate_IO_IsFileOpen(&fp), 0);
  EXPECT_EQ(KIVGPPrivate_IO_CloseFile(&fp), -1);
  EXPECT_EQ(KIVGPPrivate_IO_DoesFileExist("/nonexistent/kivgp"), -1);
}

}  // namespace
