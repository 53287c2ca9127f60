#pragma once

#include <QString>

// Why an assistant form cannot be submitted yet: the first failing rule's
// message, or empty text when the form is valid. Only an empty text counts as
// missing (a name of spaces is a name); the address check is case-sensitive.
QString assistantFormProblem(const QString& name, const QString& personality, const QString& pictureUrl);
