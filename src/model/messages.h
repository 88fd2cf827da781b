// Every message Vexo reports, as printf formats of "<severity> <text>". The
// texts are the system's own: users, scripts and the message pane match them,
// so they are kept exactly as they have always been written, spelling
// included; the deliberate misspellings are marked "(sic)".
//
// A constant without a location is reported with CMessageLog::Report(format,
// ...). Element messages leave the location out and go through
// CMessageLog::Report(elem, format, ...), which appends " at line(column)" of
// the element given; most name an element with the first %s.
#pragma once

namespace svg::msg {

// --- Loading -----------------------------------------------------------------
inline constexpr char kOpeningFile[] = "I Opening file %s";
inline constexpr char kOpeningAborted[] = "I Opening SVG ... aborted!";
inline constexpr char kFileVanished[] = "W File %s has gone: the picture shows it as last loaded";
inline constexpr char kOpenError[] = "F Open error '%s'";
inline constexpr char kNotSvgFile[] = "F Not SVG file or damaged file '%s'";
inline constexpr char kInflateFailed[] = "F Inflate failed '%s'";
// A compressed document that would inflate past the bound (a decompression bomb).
inline constexpr char kInflatedTooLarge[] = "F File '%s' inflates to more than %zu MB: NOT read";
inline constexpr char kCannotOpenFile[] = "F File %s:can NOT open";
inline constexpr char kRootNotSvg[] = "F %s :Root element is NOT SVG";
inline constexpr char kTooManyDocuments[] = "F Too many documents referenced '%s'";
// A file a document names that was not read, with the reference as written.
// Documents report the last two as fatal, like their other file failures.
inline constexpr char kFileOutsideFolder[] = "W File '%s' is outside the document's folder: NOT loaded";
inline constexpr char kFileNotRegular[] = "E File '%s' is not a regular file: NOT read";
inline constexpr char kFileTooLarge[] = "E File '%s' is larger than %zu MB: NOT read";
inline constexpr char kDocumentNotRegular[] = "F File '%s' is not a regular file: NOT read";
inline constexpr char kDocumentFileTooLarge[] = "F File '%s' is larger than %zu MB: NOT read";
inline constexpr char kDebugLoadingXml[] = "D Loading XML";
inline constexpr char kDebugCreateSvg[] = "D Create SVG";
inline constexpr char kDebugParsingSvg[] = "D parsing SVG";
inline constexpr char kDebugComputingBounds[] = "D calulating object bounds";  // (sic)
inline constexpr char kDebugPreprocessingXml[] = "D Preprocessing XML";
inline constexpr char kDebugApplyingStylesheet[] = "D Applying Stylesheet";

// --- XML reading, located by the parser: line, column ------------------------
inline constexpr char kParserWarning[] = "W %s at %d(%d)";
inline constexpr char kParserError[] = "E %s at %d(%d)";
inline constexpr char kParserFatal[] = "F %s at %d(%d)";
inline constexpr char kTextParseError[] = "E %d(%d) : %s";
inline constexpr char kUnsupportedEncoding[] = "F Unsupported encoding %s at %d(%d)";
inline constexpr char kInvalidEncoding[] = "F Document is not valid %s at %d(%d)";
inline constexpr char kDocumentTooLarge[] = "F Document too large at %d(%d)";
inline constexpr char kExternalEntity[] = "W External entity '%s' NOT loaded at %d(%d)";
// Why the reader stopped a document, reported as the reason of kParserFatal
// or kTextParseError.
inline constexpr char kReasonElementsTooDeep[] = "Elements nested more than %u deep";
inline constexpr char kReasonEntityTooLarge[] = "Entity '%s' makes the document's entities expand beyond %zu MB";
inline constexpr char kReasonEntityTooDeep[] = "Entity '%s' refers to itself or nests entities more than %u deep";

// --- Style sheets ------------------------------------------------------------
inline constexpr char kApplyingStyleSheet[] = "I Applying Style-sheet %s";
// An XSLT processor's own error text.
inline constexpr char kStyleSheetError[] = "E %s";
inline constexpr char kXsltTooManySteps[] = "E XSLT style sheet stopped after %lu steps: it may never end";
inline constexpr char kXsltTooManyXPathSteps[] =
    "E XSLT style sheet stopped: its expressions took more than %lu steps";
inline constexpr char kXsltTooMuchMemory[] = "E XSLT style sheet stopped: it needed more than %zu MB";
inline constexpr char kXsltTooDeep[] =
    "E XSLT style sheet stopped: templates nested more than %d deep or more than %d variables";
// An address of another scheme than file: (a network address).
inline constexpr char kNotLocalFile[] = "W '%s' is not a local file: NOT loaded";
inline constexpr char kCssIllegalToken[] = "W (CSS)Illegal token '%s'";
inline constexpr char kCssIllegalTokenAfter[] = "W (CSS)Illegal token '%s' after '%s'";
inline constexpr char kCssIllegalTokenAfterChar[] = "W (CSS)Illegal token '%s' after '%c'";
inline constexpr char kCssIllegalTokenAfterColon[] = "W (CSS)Illegal token '%s' after ':'";
inline constexpr char kCssIllegalTokenAfterBracket[] = "W (CSS)Illegal token '%s' after '['";
inline constexpr char kCssIllegalParenthesis[] = "W (CSS)Illegal ')' after '%s'";
inline constexpr char kCssPageNotSupported[] = "W NOT support '@page'";
inline constexpr char kCssUnsupportedFontFaceAttribute[] = "W (CSS)Unupported @font-face attribute '%s'";  // (sic)

// --- The element tree --------------------------------------------------------
inline constexpr char kNotSupported[] = "W %s NOT supported";
inline constexpr char kTooDeeplyNested[] = "E %s too deeply nested";
inline constexpr char kConditionalValues[] = "I \"%s\" found '%s'";

// --- References ---------------------------------------------------------------
inline constexpr char kHrefNotFound[] = "E %s xlink:href=\"%s\" :Link NOT found";
inline constexpr char kHrefCycle[] = "F %s xlink:href=\"%s\" : Cyclic reference";
inline constexpr char kHrefWrongElement[] = "E %s xlink:href=\"%s\" :NOT refer to element '%s'";
inline constexpr char kHrefChainTooLong[] = "E %s xlink:href chain too long";
// element, attribute, value
inline constexpr char kPropertyCycle[] = "F %s %s=\"%s\" : Cyclic reference";

// --- Attribute values ----------------------------------------------------------
// element, attribute, value
inline constexpr char kInvalidValue[] = "E %s %.*s=\"%s\" :Invalid value";
inline constexpr char kMustBePositive[] = "E %s %.*s=\"%s\": must be positive value";
// element, attribute
inline constexpr char kNotDefined[] = "E %s '%.*s' NOT defined";
inline constexpr char kNotDefinedUsingZero[] = "W %s '%.*s' :NOT difined.(using 0)";  // (sic)
inline constexpr char kTransformNotApplicable[] = "W transform can NOT apply to %s :Invalid value";
inline constexpr char kPathTooLong[] = "W %s has more than %zu points; the rest is ignored";
inline constexpr char kColorRenderingInvalid[] = "E %s color-rendering=\"%s\" :invalid";
inline constexpr char kColorInterpolationInvalid[] = "E %s color-interpolation=\"%s\" :invalid";
inline constexpr char kClipRuleInvalid[] = "E %s clip-rule=\"%s\" :Invalid value";
// The `clip` property of a viewport, reported without an element.
inline constexpr char kClipInvalid[] = "E clip=\"%.*s\" :Invalid value";

// --- Painting -------------------------------------------------------------------
inline constexpr char kFillNotFound[] = "E %s fill=\"%s\" :Link NOT found";
inline constexpr char kStrokeNotFound[] = "E %s stroke=\"%s\" :Link NOT found";
inline constexpr char kFillCycle[] = "E %s fill=\"url(%s)\" : Cyclic reference";
inline constexpr char kStrokeCycle[] = "F %s stroke=\"%s\" : Cyclic reference";
inline constexpr char kFillNotPaint[] = "E %s fill=\"url(%s)\" :NOT refer to paint element";
inline constexpr char kStrokeNotPaint[] = "E %s stroke=\"url(%s)\" :NOT refer to paint element";
inline constexpr char kMaskNotFound[] = "E %s mask=\"%s\" :Link NOT found";
inline constexpr char kMaskNotMask[] = "E %s mask=\"%s\" :Link NOT refer to 'mask'";
inline constexpr char kFilterNotFound[] = "E %s filter=\"%s\" :Link NOT found";
inline constexpr char kFilterNotFilter[] = "E %s filter=\"%s\" :Link NOT refer to 'filter'";
inline constexpr char kColorProfileNotProfile[] = "E %s filter=\"%s\" :Link NOT refer to 'color-profile'";

// --- Gradients and patterns -------------------------------------------------------
inline constexpr char kStopOffsetInvalid[] = "W %s offset=\"%s\" :Invalid value";
inline constexpr char kStopOffsetOrder[] = "E %s stop offset=\"%s\" :offset NOT in acsending order";  // (sic)
inline constexpr char kRadiusMustBePositive[] = "E %s r=\"%s\": must be positive value";
inline constexpr char kPatternMustBePositive[] = "E pattern %.*s=\"%s\" must be positive value";
inline constexpr char kPatternNestedTooDeeply[] = "E pattern nested too deeply";
inline constexpr char kPatternTileReduced[] = "W pattern tile reduced to %dx%d pixels";
// pattern id
inline constexpr char kPatternFillCycle[] = "E %s fill=\"url(#%s)\" : Cyclic reference";

// --- use --------------------------------------------------------------------------
inline constexpr char kUseNotFound[] = "E use xlink:href=\"%s\" :Link NOT found";
inline constexpr char kUseCycle[] = "F use xlink:href=\"%s\" : Cyclic reference";
inline constexpr char kUseTooManyInstances[] = "E use xlink:href=\"%s\" :Too many instances";
inline constexpr char kTooManyInstances[] = "E %s %s=\"%s\" :Too many instances";

// --- Clipping and masking ------------------------------------------------------------
inline constexpr char kIllegalClipChild[] = "E %s illegal for clipPath's child";
inline constexpr char kIllegalClipUseChild[] = "E %s illegal for use of clipPath's child";
inline constexpr char kClipPathUnitsInvalid[] = "E %s clipPathUnits=\"%s\" :Invalid value";
inline constexpr char kClipPathTooComplex[] = "W %s clip-path too complex: only part of it clips";
inline constexpr char kMaskContentUnitsInvalid[] = "E mask maskContentUnits=\"%s\" :Invalid value";
inline constexpr char kMaskUnitsInvalid[] = "E maek, maskUnits=\"%s\" :Invalid value";  // (sic)
inline constexpr char kMaskMustBePositive[] = "E mask %s=\"%s\" must be positive value";
inline constexpr char kMaskReduced[] = "W %s mask reduced to %dx%d pixels";
inline constexpr char kMasksNestedTooDeeply[] = "W %s masks nested too deeply or too often: not drawn";
inline constexpr char kLayersTooLargeFaded[] =
    "W %s layers nested beyond %zu MB: its opacity fades each of its parts";
inline constexpr char kLayersTooLargeNotDrawn[] = "W %s layers nested beyond %zu MB: not drawn";

// --- Markers ---------------------------------------------------------------------------
inline constexpr char kNotMarker[] = "E %s %.*s=\"%s\" NOT refer element 'marker'";

// --- Images and embedded resources ---------------------------------------------------------
inline constexpr char kLoadingImage[] = "I Loading Image file '%s'";
inline constexpr char kHrefNotDefined[] = "E %s xlink:href NOT defined";
inline constexpr char kHrefOpenFailed[] = "E %s xlink:href=\"%s\" open failed";
inline constexpr char kHrefInvalidPath[] = "E %s xlink:href=\"%s\" invalid path";
inline constexpr char kHrefInvalidPathQuoted[] = "E %s xlink:href invalid path '%s'";
inline constexpr char kHrefUnsupportedMimeType[] = "E %s xlink:href unsupported mimetype '%s'";
inline constexpr char kHrefNoMimeType[] = "E %s xlink:href not found mimetype";
inline constexpr char kHrefInvalidBase64[] = "E %s xlink:href invalid base64 data";
inline constexpr char kHrefInvalidUrlEncoding[] = "E %s xlink:href invalid URL encoding data";
inline constexpr char kFileCannotOpen[] = "E %s file '%s' can NOT open";
inline constexpr char kImageMessage[] = "W %s";
inline constexpr char kImageError[] = "E %s";

// --- Filters ----------------------------------------------------------------------------
// attribute value
inline constexpr char kFilterPrimitiveUnitsInvalid[] = "E filter primitiveUnits=\"%s\" :Invalid value";
inline constexpr char kFilterUnitsInvalid[] = "E filter filterUnits=\"%s\" :Invalid value";
// attribute name, value
inline constexpr char kFilterMustBePositive[] = "E filter %s=\"%s\" must be positive value";
// element, attribute name, value
inline constexpr char kPrimitiveMustBePositive[] = "E %s %s=\"%s\" must be positive value";
inline constexpr char kColorInterpolationFiltersInvalid[] = "E %s color-interpolation-filters=\"%s\" :invalid";
inline constexpr char kFilterBoxInvalid[] = "W %s unitObjectBoundingBox invalid";
inline constexpr char kFilterInternalError[] = "E %s internal error";
// primitive name, seconds, width, height
inline constexpr char kFilterSlow[] = "W filter '%s' took %.1f seconds to process %.0f x %.0f image";
inline constexpr char kFilterReduced[] = "W %s filter reduced to %dx%d pixels";
inline constexpr char kFilterTooManyPrimitives[] = "W %s has more than %zu primitives; the rest are ignored";
inline constexpr char kFilterNestedTooDeeply[] = "W %s filters nested too deeply: drawn unfiltered";
inline constexpr char kFilterNestedTooOften[] = "W %s filters in feImage pictures too many: not drawn";
// primitive, attribute value
inline constexpr char kBlendModeUnknown[] = "E %s mode=\"%s\" Unknown";
inline constexpr char kOperatorUnknown[] = "E %s operator=\"%s\" Unknown";
inline constexpr char kTypeUnknown[] = "E %s type=\"%s\" Unknown";
inline constexpr char kStitchTilesUnknown[] = "E %s stitchTiles=\"%s\" Unknown";
// Reported without a location, as they always have been.
inline constexpr char kColorMatrixNeedsValues[] = "W feColorMatrix type=matrix needs 20 values";
inline constexpr char kSaturateNeedsValue[] = "W feColorMatrix type=typeSaturate needs 1 values";
inline constexpr char kHueRotateNeedsValue[] = "W feColorMatrix type=typeHueRotate needs 1 values";
inline constexpr char kStdDeviationNegative[] = "E %s stdDeviation MUST be positive value";
inline constexpr char kRadiusNotSpecified[] = "W %s radius NOT specified. (using 0)";
inline constexpr char kRadiusNegative[] = "E %s radius=\"%s\" must be positive value";
inline constexpr char kKernelMatrixNotFound[] = "E %s kernelMatrix NOT found";
inline constexpr char kKernelMatrixCount[] = "E %s Num of kernelMatrix elements must equals to order.x * order.y";
inline constexpr char kKernelTooLarge[] = "E %s order=\"%s\" too large";
inline constexpr char kKernelUnitLengthNotPositive[] = "E %s kernelUnitLength MUST be positive value";
inline constexpr char kXChannelSelectorInvalid[] = "E %s xChannelSelector MUST be R/G/B/A";
inline constexpr char kYChannelSelectorInvalid[] = "E %s yChannelSelector MUST be R/G/B/A";
// light source element
inline constexpr char kUnknownLightSource[] = "W %s Unknown for Lighting Source";
inline constexpr char kSpecularExponentTooSmall[] = "E %s specularExponent must be >=1.0";
inline constexpr char kLightSourceNotFound[] = "E %s Light Source NOT found";
// feImage: element, reference
inline constexpr char kFeImageHrefNotFound[] = "E %s xlink:href=\"%s\" NOT found";
inline constexpr char kFeImageCannotOpen[] = "E %s feImage xlink:href=\"%s\" :can NOT open";
inline constexpr char kFeImageLinkNotFound[] = "E %s feImage xlink:href=\"%s\" :Link NOT found";
inline constexpr char kFeImageCycle[] = "F %s xlink:href=\"%s\" : Cyclic reference";

// --- Text ------------------------------------------------------------------------------
// element name, character bound
inline constexpr char kTextTooLong[] = "W %s has more than %zu characters; the rest is ignored";
// element, reference
inline constexpr char kHrefNotPath[] = "E %s xlink:href=\"%s\" NOT refer element 'path'";
// element, reference
inline constexpr char kAltGlyphNotFound[] = "E %s altGlyph xlink:href=\"%s\" :Link NOT found";
inline constexpr char kAltGlyphWrongElement[] = "E %s xlink:href=\"%s\" NOT refer element 'altGlyphDef' / 'glyph'";
// element name: glyph content nested beyond the bound, or past the budget of one drawing
inline constexpr char kGlyphContentTooDeep[] = "W %s glyph content nested too deeply or too often: not drawn";

// --- Fonts ----------------------------------------------------------------------------
// Declared fonts. A @font-face rule has no element: its messages carry no location.
inline constexpr char kFontInstallFailed[] = "E font \"%s\" :install failed";  // family
// URI
inline constexpr char kFontUriUnusable[] = "E font-face-uri=\"%s\" : NOT found or Unsupported format";
inline constexpr char kFontFormatUnsupported[] = "E \"%s\" :Unsupported font format";
inline constexpr char kFontUriNotFont[] = "E font-face-uri=\"%s\" :NOT refer to font element";
inline constexpr char kFontUriNotFound[] = "E font-face-uri=\"%s\" :Link NOT found";
// element name
inline constexpr char kFontFaceNoFamily[] = "E %s NOT defined font-family element";
inline constexpr char kFontFaceNoSource[] = "E %s NOT defined font-face-src element";
inline constexpr char kHrefAttributeNotFound[] = "E %s xlink:href attribute NOT found";
// SVG fonts: the font's family
inline constexpr char kFontFaceTwice[] = "W :<font %s> font-face element is defined twice";
inline constexpr char kFontFaceMissing[] = "E <font %s> :font-face element is Invalid or not defined";
// position of the fault, the next characters
inline constexpr char kGlyphPathInvalid[] = "E glyph 'd' attribute is invalid at pos %d-(%20.20s)";
// kerning element name, value
inline constexpr char kKernU1Invalid[] = "E %s kern u1=\"%s\" :Invalid value";
inline constexpr char kKernU2Invalid[] = "E %s u2=\"%s\" :Invalid value";
// kerning element name
inline constexpr char kKernFirstMissing[] = "E %s 'u1' and 'g1' are NOT defined or invalid";
inline constexpr char kKernSecondMissing[] = "E %s 'u2' and 'g2' are NOT defined or invalid";

// --- Output ---------------------------------------------------------------------------------
// requested width and height, width and height drawn, the budget in megapixels
inline constexpr char kPictureReduced[] = "W Picture of %.0fx%.0f pixels reduced to %dx%d: more than %zu megapixels";

// --- Not drawn yet -----------------------------------------------------------------------
// element name
inline constexpr char kNotDrawnYet[] = "W %s NOT supported";

}  // namespace svg::msg
