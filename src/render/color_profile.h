// The `color-profile` element: opening the ICC profile its xlink:href names
// (a file, or a data: URL decoded in memory) through lcms2, with a transform
// from sRGB to it, absolute colorimetric. Nothing is converted through the
// transform: opening it checks that the profile can be used and reports when
// it cannot. `local`, `name` and `rendering-intent` have no effect.
#pragma once

namespace svg {

class CElemColorProfile;
class CPreparer;

bool SetUpColorProfile(CElemColorProfile& profile, CPreparer& preparer);

}  // namespace svg
