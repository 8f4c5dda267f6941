// Cost of finding the key that types a character on a layout: what registering a character hot key,
// recording a shortcut and matching a key event each pay once, never per keystroke of the search field.
#include "hotkey-core/KeyEventShortcut.h"
#include "hotkey-core/KeyboardLayout.h"

#include <benchmark/benchmark.h>

namespace {

using namespace orvex;

const KeyboardLayout &german() {
    static const KeyboardLayout layout = *KeyboardLayout::fromNames(QStringLiteral("de"));
    return layout;
}

void BM_CompileLayout(benchmark::State &state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(KeyboardLayout::fromNames(QStringLiteral("de")));
}
BENCHMARK(BM_CompileLayout)->Unit(benchmark::kMillisecond);

// "a" is on the first key walked, "@" needs the third level of key 12, "ж" is on no key: the whole walk.
void BM_ShortcutForCharacter(benchmark::State &state) {
    const QString characters[] = {QStringLiteral("a"), QStringLiteral("@"), QStringLiteral("\u0436")};
    const QString &character = characters[state.range(0)];
    for (auto _ : state)
        benchmark::DoNotOptimize(german().shortcutForCharacter(character));
}
BENCHMARK(BM_ShortcutForCharacter)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// A recorded Control+Z on German keys, from the X11 key code Qt reports.
void BM_KeyShortcutOfEvent(benchmark::State &state) {
    KeyboardLayout::setCurrent(german());
    const QKeyEvent event(QEvent::KeyPress, Qt::Key_Z, Qt::ControlModifier, 29, 0, 0x4, QString());
    for (auto _ : state)
        benchmark::DoNotOptimize(keyShortcut(event));
    KeyboardLayout::setCurrent(std::nullopt);
}
BENCHMARK(BM_KeyShortcutOfEvent)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
