// The graph form's preference file, then a dataset drawn and painted with
// those preferences (pen widths and the dB span come from the file), and
// the Options menu's check marks.
#include "graph/graph_model.h"
#include "graph/graph_paint.h"
#include "graph/graph_prefs.h"

#include <QImage>
#include <QPainter>

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace qelvar::graph;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    GraphModel m;
    m.prefs.parse(std::string_view(reinterpret_cast<const char*>(data), size));
    for (std::size_t i = 1; i <= GraphModel::kSteps; ++i) {
        m.rowflag[i] = 1;
        m.freq[i] = static_cast<float>(i * 997);
        m.levelL[i] = -static_cast<float>(i) * 3.5f;
        m.levelR[i] = static_cast<float>(i % 5) * 2.0f - 4.0f;
    }
    m.scaleme();
    m.graphdata();
    GraphModel::Printout page = m.pemprint();
    for (const OptionItem& item : kOptionItems)
        (void)isChecked(m.prefs, item);

    static QImage image(320, 200, QImage::Format_RGB32);
    QPainter p(&image);
    GraphMapping map{QRectF(0, 0, image.width(), image.height()), m.frame, 1.0};
    paintLines(p, m.surface, map);
    paintLines(p, page.lines, map);
    (void)m.prefs.serialise();
    return 0;
}
