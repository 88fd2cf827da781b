// libxslt and libexslt, opened when a document's first XSLT style sheet is
// applied: other documents never load them (base/lazy_library.h).
#pragma once

#include <libexslt/exslt.h>
#include <libxslt/documents.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include "base/lazy_library.h"
#include "base/library_sonames.h"

namespace svg {

inline constinit CLazyLibrary xsltLibrary{soname::kXslt};
inline constinit CLazyLibrary exsltLibrary{soname::kExslt};

VEXO_LAZY_FUNCTION(xsltLibrary, xsltApplyStylesheetUser);
VEXO_LAZY_FUNCTION(xsltLibrary, xsltFreeStylesheet);
VEXO_LAZY_FUNCTION(xsltLibrary, xsltFreeTransformContext);
VEXO_LAZY_FUNCTION(xsltLibrary, xsltNewSecurityPrefs);
VEXO_LAZY_FUNCTION(xsltLibrary, xsltNewTransformContext);
VEXO_LAZY_FUNCTION(xsltLibrary, xsltParseStylesheetDoc);
VEXO_LAZY_FUNCTION(xsltLibrary, xsltSaveResultToString);
VEXO_LAZY_FUNCTION(xsltLibrary, xsltSecurityForbid);
VEXO_LAZY_FUNCTION(xsltLibrary, xsltSetCtxtSecurityPrefs);
VEXO_LAZY_FUNCTION(xsltLibrary, xsltSetDebuggerCallbacks);
VEXO_LAZY_FUNCTION(xsltLibrary, xsltSetDefaultSecurityPrefs);
VEXO_LAZY_FUNCTION(xsltLibrary, xsltSetGenericErrorFunc);
VEXO_LAZY_FUNCTION(xsltLibrary, xsltSetLoaderFunc);
VEXO_LAZY_FUNCTION(xsltLibrary, xsltSetSecurityPrefs);

VEXO_LAZY_FUNCTION(exsltLibrary, exsltRegisterAll);

}  // namespace svg
