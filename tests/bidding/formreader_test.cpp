#include <gtest/gtest.h>

#include "printers.h"

#include "bidding/formreader.h"
#include "support/testenv.h"

namespace {
// Reads `page` as the last reply into the program's one form reader.
void readPage(TestEnv& env, const QString& page, const QString& formName = "PlaceBid") {
  env.state.ResponseText = page;
  readFormData(*env.ctx, formName);
}

QStringList names(const FormReader& reader) {
  QStringList out;
  for (const FormField& f : reader.fields()) out.append(f.name + "=" + f.value);
  return out;
}
}  // namespace

TEST(FormReader, takesOnlyHiddenTextAndPasswordInputsOfTheNamedFormWhateverTheirCapitals) {
  TestEnv env;
  readPage(env,
           "<html><body>\n"
           "<form method=\"post\" NAME=\"PLACEBID\" Action=\"http://h/p?a=1&amp;b=2\">\n"
           "<INPUT TYPE=\"hidden\" NAME=\"Item\" VALUE=\"123\">\n"
           "<input type=\"HIDDEN\" name=\"capitalType\" value=\"x\">\n"
           "<Input type=\"text\" name=\"user\" value=\"\">\n"
           "<input type=\"password\" name=\"pass\" value=\"\">\n"
           "<input type=\"submit\" name=\"go\" value=\"Bieten\">\n"
           "<input type=\"checkbox\" name=\"cb\" value=\"1\">\n"
           "<input type=\"radio\" name=\"r\" value=\"1\">\n"
           "<textarea name=\"ta\">t</textarea>\n"
           "<select name=\"sel\"><option value=\"o\">o</option></select>\n"
           "</FORM>\n"
           "<input type=\"hidden\" name=\"after\" value=\"late\">\n"
           "</body></html>");
  const FormReader& r = env.state.formReader;
  EXPECT_EQ(GetFormAction(*env.ctx), "http://h/p?a=1&amp;b=2");  // as written
  EXPECT_EQ(names(r), (QStringList{"Item=123", "user=", "pass="}));
  EXPECT_TRUE(r.formText().startsWith("<form method="));
  EXPECT_TRUE(r.formText().endsWith("</select>\n"));
  EXPECT_EQ(GetFieldValue(*env.ctx, "ITEM"), "123");
  EXPECT_EQ(GetPostData(*env.ctx), "Item=123&user=&pass=&");
  EXPECT_TRUE(env.dialogs.errors.isEmpty());
}

TEST(FormReader, anOpeningTagInCapitalsFallsBackToAnEarlierFormOrFails) {
  const QString earlier =
      "<form name=\"search\" action=\"/find\"><input type=\"text\" name=\"q\" value=\"x\">"
      "</form>";
  const QString capital =
      "<FORM name=\"PlaceBid\" action=\"/bid\"><input type=\"hidden\" name=\"k\" value=\"1\">"
      "</FORM>";
  {
    TestEnv env;
    readPage(env, "<p>" + earlier + capital);
    EXPECT_EQ(GetFormAction(*env.ctx), "/find");
    EXPECT_EQ(names(env.state.formReader), QStringList{"q=x"});
    EXPECT_TRUE(env.dialogs.errors.isEmpty());
  }
  {
    TestEnv env;
    readPage(env, earlier + capital);  // fills the state first, then the failing read clears it
    readPage(env, "<p>" + capital);
    ASSERT_EQ(env.dialogs.errors.size(), 1);
    EXPECT_EQ(env.state.lastFailingProcedure, "readFormData");
    EXPECT_TRUE(env.dialogs.errors[0].startsWith("Fehlernummer:  5\r\n"));
    EXPECT_TRUE(GetFormAction(*env.ctx).isEmpty());
    EXPECT_TRUE(env.state.formReader.fields().isEmpty());
  }
  {
    TestEnv env;  // no "</form>" after the form's start
    readPage(env, "<form name=\"PlaceBid\" action=\"/bid\"><input type=\"hidden\" name=\"k\">");
    EXPECT_EQ(env.state.lastFailingProcedure, "readFormData");
    EXPECT_TRUE(GetFormAction(*env.ctx).isEmpty());
    EXPECT_TRUE(env.state.formReader.fields().isEmpty());
  }
  {
    TestEnv env;  // not there at all: quietly empty
    readPage(env, earlier);
    EXPECT_TRUE(GetFormAction(*env.ctx).isEmpty());
    EXPECT_TRUE(env.state.formReader.fields().isEmpty());
    EXPECT_TRUE(env.dialogs.errors.isEmpty());
  }
}

TEST(FormReader, anActionOf899CharactersIsTakenAndOneOf900IsNot) {
  TestEnv env;
  const QString a899 = "http://h/" + QString(890, 'a');
  ASSERT_EQ(a899.size(), 899);
  readPage(env, "<form name=\"PlaceBid\" action=\"" + a899 + "\"></form>");
  EXPECT_EQ(GetFormAction(*env.ctx), a899);
  readPage(env, "<form name=\"PlaceBid\" action=\"" + a899 + "b\"></form>");
  EXPECT_TRUE(GetFormAction(*env.ctx).isEmpty());
  readPage(env, "<form name=\"PlaceBid\" action=\"\"></form>");
  EXPECT_TRUE(GetFormAction(*env.ctx).isEmpty());
}

TEST(FormReader, repeatedAndNamelessFieldsAreLeftOutAndTheFirstKeepsItsValue) {
  TestEnv env;
  readPage(env,
           "<form name=\"PlaceBid\" action=\"/b\">"
           "<input type=\"hidden\" name=\"key\" value=\"first\">"
           "<input type=\"hidden\" value=\"x1\">"
           "<input type=\"text\" name=\"KEY\" value=\"second\">"
           "<input type=\"hidden\" name=\"\" value=\"empty\">"
           "<input type=\"hidden\" name=\"b\" value=\"2\">"
           "<input type=\"hidden\" name=\"c\" value=\"3\">"
           "</form>");
  EXPECT_TRUE(env.dialogs.errors.isEmpty());
  EXPECT_EQ(names(env.state.formReader), (QStringList{"key=first", "b=2", "c=3"}));

  SetFieldValue(*env.ctx, "B", "neu wert");
  SetFieldValue(*env.ctx, "missing", "x");  // never added
  EXPECT_EQ(GetFieldValue(*env.ctx, "missing"), "");
  EXPECT_EQ(GetPostData(*env.ctx), "key=first&b=neu+wert&c=3&");
}

TEST(FormReader, attributesAreFoundAsPlainTextWithinTheirOwnTag) {
  TestEnv env;
  readPage(env,
           "<form name=\"PlaceBid\" action=\"/b\">"
           // "Name" first matches inside "username"
           "<input type=\"hidden\" username=\"u1\" name=\"n1\" value=\"v1\">"
           // no value of its own: the next tag's is not taken
           "<input type=\"hidden\" name=\"novalue\"><input type=\"radio\" value=\"later\">"
           // unquoted
           "<input type=\"hidden\" name=\"bare\" value=abc>"
           "<input type=\"text\" name=\"spaced\" value = \"x\">"
           "</form>");
  EXPECT_EQ(names(env.state.formReader), (QStringList{"u1=v1", "novalue=", "bare=", "spaced= "}));
  // Positions are 1-based in the form text; a position past the last tag finds nothing.
  const QString& text = env.state.formReader.formText();
  const qsizetype tag = text.indexOf("<input") + 1;
  EXPECT_EQ(GetAttributeValue(*env.ctx, "type", tag), "hidden");
  EXPECT_EQ(GetAttributeValue(*env.ctx, "Value", tag), "v1");
  EXPECT_EQ(GetAttributeValue(*env.ctx, "type", text.size()), "");
}

TEST(FormReader, largePagesAndOpenTagsAreReadInOnePass) {
  TestEnv env;
  QString page = "<html>" + QString(200000, 'x') + "<form name=\"PlaceBid\" action=\"/b\">";
  for (int i = 0; i < 5000; ++i)
    page += QString("<p>%1</p><INPUT type=\"hidden\" name=\"f%2\" value=\"v%2\">\n")
                .arg(QString(120, 'y'))
                .arg(i);
  page += "</form>" + QString(100000, 'z');
  ASSERT_GT(page.size(), 1000000);
  readPage(env, page);
  const auto& fields = env.state.formReader.fields();
  ASSERT_EQ(fields.size(), 5000);
  EXPECT_EQ(fields.last().name, "f4999");
  EXPECT_EQ(GetFieldValue(*env.ctx, "F2500"), "v2500");

  // Thousands of tags left open up to one ">" at the very end, without quotes.
  QString open = "<form name=\"PlaceBid\" action=\"/b\">";
  for (int i = 0; i < 20000; ++i) open += "<input type=hidden name=n value=v ";
  open += "></form>";
  readPage(env, open);
  EXPECT_TRUE(env.state.formReader.fields().isEmpty());
  EXPECT_TRUE(env.dialogs.errors.isEmpty());
}

TEST(URLEncode, encodesByTheWindows1252Code) {
  EXPECT_EQ(URLEncode("a b-c&amp;d.e_f"), "a+b%2Dc%26d.e_f");
  EXPECT_EQ(URLEncode("1+1=2"), "1%2B1%3D2");
  EXPECT_EQ(URLEncode("&amp;amp;"), "%26amp%3B");  // one pass only
  EXPECT_EQ(URLEncode("&AMP;"), "%26AMP%3B");
  EXPECT_EQ(URLEncode(QString::fromUtf8("Grüße Ä€")), "Gr%FC%DFe+%C4%80");
  EXPECT_EQ(URLEncode(QString::fromUtf8("a\n\t")), "a%0A%09");
  EXPECT_EQ(URLEncode(QString::fromUtf8("中😀")), "%3F%3F");  // no code in the page
  EXPECT_EQ(URLEncode("AZaz09"), "AZaz09");
  EXPECT_EQ(URLEncode(""), "");

  EXPECT_EQ(HexByte(5), "05");
  EXPECT_EQ(HexByte(38), "26");
  EXPECT_EQ(HexByte(228), "E4");
  EXPECT_EQ(HexByte(0), "00");
  EXPECT_EQ(HexByte(255), "FF");
}
