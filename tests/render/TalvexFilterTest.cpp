// Texture coordinates that make the picture cover the view, and the per-frame values
// the filter hands to the programs.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <array>
#include <cmath>

#include "platform/UserDefaults.h"
#include "render/OffscreenHarness.h"
#include "render/TalvexFilter.h"
#include "settings/Settings.h"

namespace talvex::test {
namespace {

using Pairs = std::array<float, 8>;

void expectPairs(const Pairs& got, const Pairs& expected) {
    for (std::size_t n = 0; n < 8; ++n)
        EXPECT_NEAR(got[n], expected[n], 1e-6) << "index " << n;
}

TEST(TalvexFilterCoordinates, CoverTheViewCentredWithAspectKept) {
    // Same aspect: the whole texture.
    expectPairs(TalvexFilter::textureVertices(200, 100, 400, 200), {0, 1, 1, 1, 0, 0, 1, 0});
    // Wide view, square texture: a centred half of the height.
    expectPairs(TalvexFilter::textureVertices(200, 100, 400, 400),
                {0, 0.75f, 1, 0.75f, 0, 0.25f, 1, 0.25f});
    // Tall view, square texture: a centred half of the width.
    expectPairs(TalvexFilter::textureVertices(100, 200, 400, 400),
                {0.25f, 1, 0.75f, 1, 0.25f, 0, 0.75f, 0});
    // Ratios equal only up to rounding still give the whole texture.
    expectPairs(TalvexFilter::textureVertices(1201.0 / 3, 801.0 / 3, 1201, 801),
                {0, 1, 1, 1, 0, 0, 1, 0});
}

TEST(TalvexFilterCoordinates, ViewOrTextureWithoutAreaShowsTheWholeTexture) {
    const Pairs whole = {0, 1, 1, 1, 0, 0, 1, 0};
    expectPairs(TalvexFilter::textureVertices(0, 0, 400, 200), whole);
    expectPairs(TalvexFilter::textureVertices(200, 0, 400, 200), whole);
    expectPairs(TalvexFilter::textureVertices(NAN, 100, 400, 200), whole);
    expectPairs(TalvexFilter::textureVertices(200, 100, 0, 200), whole);
    EXPECT_EQ(TalvexFilter::patternScale(2), 2.0f);
    EXPECT_EQ(TalvexFilter::patternScale(0), 1.0f);
    EXPECT_EQ(TalvexFilter::patternScale(-2), 1.0f);
    EXPECT_EQ(TalvexFilter::patternScale(INFINITY), 1.0f);
}

class FakeView : public ShaderFilterView {
public:
    Rect bounds() const override { return bounds_; }
    double backingScaleFactor() const override { return scale_; }
    Rect bounds_;
    double scale_ = 0;
};

class TalvexFilterFrame : public testing::Test {
protected:
    void SetUp() override {
        if (!hasHeadlessGL())
            GTEST_SKIP() << "no headless OpenGL";
        TalvexFilter::registerDefaults();
        context_ = EGLHeadlessContext::create(4, 4);
        ASSERT_TRUE(context_);
        lock_ = std::make_unique<ContextLock>(*context_);
    }
    void TearDown() override {
        lock_.reset();
        UserDefaults::standard().removeObjectForKey(keys::redStripesEnabled);
        UserDefaults::standard().removeObjectForKey(keys::greenStripesEnabled);
    }

    static float attribute(GLuint index) {
        GLfloat value[4] = {};
        glGetVertexAttribfv(index, GL_CURRENT_VERTEX_ATTRIB, value);
        return value[0];
    }

    std::unique_ptr<EGLHeadlessContext> context_;
    std::unique_ptr<ContextLock> lock_;
};

TEST_F(TalvexFilterFrame, DrawsTheSwitchesLastHandedOverAndTheScaleAtReshape) {
    TalvexFilter filter;
    FakeView view;
    view.bounds_ = Rect(0, 0, 200, 100);
    view.scale_ = 2;
    filter.prepareForView(view);

    filter.applyParametersForTextureOfWidth(400, 200);
    EXPECT_EQ(attribute(3), 1.0f) << "both on before any settings come";
    filter.setLensSettings({.redStripes = 0});
    filter.applyParametersForTextureOfWidth(400, 200);
    EXPECT_EQ(attribute(3), 0.0f);
    EXPECT_EQ(attribute(4), 1.0f);
    EXPECT_EQ(attribute(2), 2.0f);

    filter.setLensSettings({.redStripes = 1, .greenStripes = 0});
    filter.applyParametersForTextureOfWidth(400, 200);
    EXPECT_EQ(attribute(3), 1.0f);
    EXPECT_EQ(attribute(4), 0.0f);
    expectPairs(filter.passThroughTextureVertices(), {0, 1, 1, 1, 0, 0, 1, 0});

    // Texture coordinates are read in place from the filter.
    GLvoid* pointer = nullptr;
    glGetVertexAttribPointerv(1, GL_VERTEX_ATTRIB_ARRAY_POINTER, &pointer);
    EXPECT_EQ(pointer, filter.passThroughTextureVertices().data());
}

TEST_F(TalvexFilterFrame, OverridesWinOverTheSettingsAndAZeroScaleDrawsAsOne) {
    UserDefaults::standard().setIntegerForKey(1, keys::redStripesEnabled);
    TalvexFilter filter({.red = 0, .green = std::nullopt});
    filter.setLensSettings(LensSettings::read(UserDefaults::standard()));
    filter.applyParametersForTextureOfWidth(400, 200);  // never prepared: no view yet
    EXPECT_EQ(attribute(3), 0.0f);
    EXPECT_EQ(attribute(4), 1.0f);
    EXPECT_EQ(attribute(2), 1.0f);
    for (float v : filter.passThroughTextureVertices())
        EXPECT_TRUE(std::isfinite(v));
    EXPECT_EQ(UserDefaults::standard().integerForKey(keys::redStripesEnabled), 1);
}

}  // namespace
}  // namespace talvex::test
