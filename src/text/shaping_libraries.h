// HarfBuzz and FriBidi, opened when the first text is laid out: a document
// without text never loads them (base/lazy_library.h).
#pragma once

#include <fribidi.h>
#include <hb-ft.h>
#include <hb.h>

#include "base/lazy_library.h"
#include "base/library_sonames.h"

namespace svg {

inline constinit CLazyLibrary harfBuzzLibrary{soname::kHarfBuzz};
inline constinit CLazyLibrary friBidiLibrary{soname::kFriBidi};

VEXO_LAZY_FUNCTION(harfBuzzLibrary, hb_buffer_add_utf32);
VEXO_LAZY_FUNCTION(harfBuzzLibrary, hb_buffer_create);
VEXO_LAZY_FUNCTION(harfBuzzLibrary, hb_buffer_destroy);
VEXO_LAZY_FUNCTION(harfBuzzLibrary, hb_buffer_get_direction);
VEXO_LAZY_FUNCTION(harfBuzzLibrary, hb_buffer_get_glyph_infos);
VEXO_LAZY_FUNCTION(harfBuzzLibrary, hb_buffer_get_glyph_positions);
VEXO_LAZY_FUNCTION(harfBuzzLibrary, hb_buffer_guess_segment_properties);
VEXO_LAZY_FUNCTION(harfBuzzLibrary, hb_buffer_set_direction);
VEXO_LAZY_FUNCTION(harfBuzzLibrary, hb_buffer_set_flags);
VEXO_LAZY_FUNCTION(harfBuzzLibrary, hb_buffer_set_language);
VEXO_LAZY_FUNCTION(harfBuzzLibrary, hb_buffer_set_script);
VEXO_LAZY_FUNCTION(harfBuzzLibrary, hb_feature_from_string);
VEXO_LAZY_FUNCTION(harfBuzzLibrary, hb_font_destroy);
VEXO_LAZY_FUNCTION(harfBuzzLibrary, hb_ft_font_create_referenced);
VEXO_LAZY_FUNCTION(harfBuzzLibrary, hb_ft_font_set_load_flags);
VEXO_LAZY_FUNCTION(harfBuzzLibrary, hb_language_from_string);
VEXO_LAZY_FUNCTION(harfBuzzLibrary, hb_script_from_string);
VEXO_LAZY_FUNCTION(harfBuzzLibrary, hb_shape);
VEXO_LAZY_FUNCTION(harfBuzzLibrary, hb_unicode_combining_class);
VEXO_LAZY_FUNCTION(harfBuzzLibrary, hb_unicode_funcs_get_default);
VEXO_LAZY_FUNCTION(harfBuzzLibrary, hb_unicode_general_category);
VEXO_LAZY_FUNCTION(harfBuzzLibrary, hb_unicode_script);

VEXO_LAZY_FUNCTION(friBidiLibrary, fribidi_get_bidi_type);
VEXO_LAZY_FUNCTION(friBidiLibrary, fribidi_get_bidi_types);
VEXO_LAZY_FUNCTION(friBidiLibrary, fribidi_get_bracket_types);
VEXO_LAZY_FUNCTION(friBidiLibrary, fribidi_get_joining_type);
VEXO_LAZY_FUNCTION(friBidiLibrary, fribidi_get_mirror_char);
VEXO_LAZY_FUNCTION(friBidiLibrary, fribidi_get_par_embedding_levels_ex);

}  // namespace svg
