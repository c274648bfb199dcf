#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include "app/context.h"

// One input field of a form: name and value as written in the tag.
struct FormField {
  QString name;
  QString value;
};

// Reads one form out of a page with a few fixed search texts (it is no general HTML parser):
// the form found by its name, its target address and its hidden, text and password fields.
// Reading stays linear in the page: a page of a megabyte with thousands of inputs is read in
// one pass.
class FormReader {
 public:
  // Rebuilds the state from `page`. A form name not in the page leaves everything empty. Raises
  // error 5 when no "<form" stands before the form's name or no "</form>" after its start; the
  // state then stays empty. A field whose name repeats an earlier one (ignoring case) is skipped,
  // and so is a field without a name.
  void read(const QString& page, const QString& formName);

  // The form's target address, exactly as written; empty when the form was not found.
  const QString& formAction() const { return m_action; }
  // The value of the field with that name (ignoring case), empty when there is none.
  QString fieldValue(const QString& name) const;
  // Replaces the value of the field with that name; a name not in the list changes nothing.
  void setFieldValue(const QString& name, const QString& value);
  // "name=encoded value&" for every field in form order; empty for an empty list.
  QString postData() const;
  // The value of an attribute in the tag at `tagPos` (1-based in the form text): the first
  // occurrence of the attribute name (plain text, ignoring case) at or after the tag position,
  // with "=" and a quote taken to follow it, up to the next quote before the tag's first ">".
  // Empty otherwise. Error 5 for a position below 1.
  QString attributeValue(const QString& attribute, qsizetype tagPos) const;

  const QString& formText() const { return m_formText; }
  const QList<FormField>& fields() const { return m_fields; }

 private:
  void clear();
  qsizetype nextOccurrence(const QString& attribute, qsizetype from) const;
  qsizetype findField(const QString& name) const;

  QString m_formText;
  QString m_action;
  QList<FormField> m_fields;
  QHash<QString, qsizetype> m_index;  // case-folded name -> position in m_fields

  // Positions (0-based, ascending) of every '"' and '>' in the form text.
  QList<qsizetype> m_quotes;
  QList<qsizetype> m_tagEnds;

  // The last search for each attribute name: tags are visited front to back, so a search is
  // reused until the tag position passes its hit, and no part of the form text is searched
  // twice for the same name (positions 0-based, found -1 = none at or after `from`).
  struct Search {
    qsizetype from = -1;
    qsizetype found = -1;
  };
  mutable QHash<QString, Search> m_searches;  // attribute name as given -> last search
};

// The encoding of one field value for a form body: "&amp;" becomes "&" first; digits, letters,
// "." and "_" stay; a space becomes "+"; every other character becomes "%" and the two hex
// digits of its Windows-1252 code (a character without one is sent as "?", %3F).
QString URLEncode(const QString& value);
// The hex digits of a character code in upper case, at least two ("05", "26", "E4").
QString HexByte(int code);

// The procedures of the bid transaction on the program's one form reader (AppState::formReader),
// each under its own error trap where it has one.
// Reads the named form out of ResponseText.
void readFormData(AppContext& ctx, const QString& formName);
QString GetFormAction(AppContext& ctx);
QString GetFieldValue(AppContext& ctx, const QString& name);
void SetFieldValue(AppContext& ctx, const QString& name, const QString& value);
QString GetPostData(AppContext& ctx);
QString GetAttributeValue(AppContext& ctx, const QString& attribute, qsizetype tagPos);
