#include "ui/common/WebPages.h"

#include "core/Endpoints.h"

QUrl WebPages::faq() { return Endpoints::faqPage(); }
QUrl WebPages::openAiSignUp() { return Endpoints::openAiSignUpPage(); }
