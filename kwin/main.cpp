#include "LensEffect.h"

namespace talvex::kwin {

KWIN_EFFECT_FACTORY_SUPPORTED(LensEffect, "metadata.json", return LensEffect::supported();)

}  // namespace talvex::kwin

#include "main.moc"
