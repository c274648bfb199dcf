#include <gtest/gtest.h>

#include "support/texts.h"

#include "bidding/formreader.h"
#include "support/testenv.h"

namespace {
// Reads `page` as the last reply into the program's one form reader.
void readPage(TestEnv& env, const QString& page, const QString& formName = "PlaceBid") {
  env.state.ResponseText = page;
  readFormData(*env.ctx, formName);
}

const QString kRepeated =
    "<form name=\"PlaceBid\" action=\"/b\">"
    "<input type=\"hidden\" name=\"key\" value=\"first\">"
    "<input type=\"hidden\" value=\"x1\">"
    "<input type=\"text\" name=\"KEY\" value=\"second\">"
    "<input type=\"hidden\" name=\"\" value=\"empty\">"
    "<input type=\"hidden\" name=\"b\" value=\"2\">"
    "<input type=\"hidden\" name=\"c\" value=\"3\">"
    "</form>";
const QString kAttributes =
    "<form name=\"PlaceBid\" action=\"/b\">"
    // "Name" first matches inside "username"
    "<input type=\"hidden\" username=\"u1\" name=\"n1\" value=\"v1\">"
    // no value of its own: the next tag's is not taken
    "<input type=\"hidden\" name=\"novalue\"><input type=\"radio\" value=\"later\">"
    // unquoted
    "<input type=\"hidden\" name=\"bare\" value=abc>"
    "<input type=\"text\" name=\"spaced\" value = \"x\">"
    "</form>";

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

// Each read replaces what an earlier one found; one that fails shows the error box and leaves
// the form empty. Repeated and nameless fields are left out (the first keeps its value);
// attributes are found as plain text within their own tag; an action of 900 characters is
// none; thousands of tags left open up to one ">" at the very end make one tag that is no field.
TEST(FormReader, eachReadGivesTheNamedFormsActionAndFieldsOrFails) {
  const QString earlier =
      "<form name=\"search\" action=\"/find\"><input type=\"text\" name=\"q\" value=\"x\">"
      "</form>";
  const QString capital =
      "<FORM name=\"PlaceBid\" action=\"/bid\"><input type=\"hidden\" name=\"k\" value=\"1\">"
      "</FORM>";

  const QString a899 = "http://h/" + QString(890, 'a');
  QString open = "<form name=\"PlaceBid\" action=\"/b\">";
  for (int i = 0; i < 20000; ++i) open += "<input type=hidden name=n value=v ";
  const struct {
    QString page, action;
    QStringList fields;
    bool fails = false;
  } cases[] = {
      {"<p>" + earlier + capital, "/find", {"q=x"}},
      {"<p>" + capital, "", {}, true},
      {"<form name=\"PlaceBid\" action=\"/bid\"><input type=\"hidden\" name=\"k\">", "", {}, true},
      {earlier, "", {}},  // not there at all: quietly empty
      {kRepeated, "/b", {"key=first", "b=2", "c=3"}},
      {kAttributes, "/b", {"u1=v1", "novalue=", "bare=", "spaced= "}},
      {"<form name=\"PlaceBid\" action=\"" + a899 + "\"></form>", a899, {}},
      {"<form name=\"PlaceBid\" action=\"" + a899 + "b\"></form>", "", {}},
      {"<form name=\"PlaceBid\" action=\"\"></form>", "", {}},
      {open + "></form>", "/b", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.page.left(120).toStdString());
    TestEnv env;
    readPage(env, earlier + capital);
    ASSERT_FALSE(env.state.formReader.fields().isEmpty());
    readPage(env, c.page);
    EXPECT_EQ(GetFormAction(*env.ctx), c.action);
    EXPECT_EQ(names(env.state.formReader), c.fields);
    EXPECT_EQ(env.dialogs.errors.size(), c.fails ? 1 : 0);
    if (c.fails) {
      EXPECT_TRUE(env.dialogs.errors[0].startsWith("Fehlernummer:  5\r\n"));
      EXPECT_EQ(env.state.lastFailingProcedure, "readFormData");
    }
  }
}

// A value set by name (any case) is posted; a name the form lacks is never added. Attribute
// positions are 1-based in the form text; a position past the last tag finds nothing.
TEST(FormReader, setValuesArePostedAndAttributesReadAtTheirTag) {
  TestEnv env;
  readPage(env, kRepeated);
  SetFieldValue(*env.ctx, "B", "neu wert");
  SetFieldValue(*env.ctx, "missing", "x");
  EXPECT_EQ(GetFieldValue(*env.ctx, "missing"), "");
  EXPECT_EQ(GetPostData(*env.ctx), "key=first&b=neu+wert&c=3&");
  readPage(env, kAttributes);
  const QString& text = env.state.formReader.formText();
  const qsizetype tag = text.indexOf("<input") + 1;
  EXPECT_EQ(GetAttributeValue(*env.ctx, "type", tag), "hidden");
  EXPECT_EQ(GetAttributeValue(*env.ctx, "Value", tag), "v1");
  EXPECT_EQ(GetAttributeValue(*env.ctx, "type", text.size()), "");
}

TEST(URLEncode, encodesByTheWindows1252Code) {
  const std::pair<QString, QString> cases[] = {
      {"a b-c&amp;d.e_f", "a+b%2Dc%26d.e_f"},
      {"1+1=2", "1%2B1%3D2"},
      {"&amp;amp;", "%26amp%3B"},  // one pass only
      {"Grüße Ä€", "Gr%FC%DFe+%C4%80"},
      {"中😀", "%3F%3F"},  // no code in the page
      {"‘a’ „b“ – …", "%91a%92+%84b%93+%96+%85"},
      {QString("\r\n") + QChar(0xD83D) + QChar(0x81), "%0D%0A%3F%81"}};
  for (const auto& [value, encoded] : cases) EXPECT_EQ(URLEncode(value), encoded) << value;
}
