// Program entry: the run of app/, with the window of ui/ when a display is there.
#include "app/App.h"
#include "ui/WindowFrontEnd.h"
#include <malloc.h>

int main(int argc, char** argv)
{
    // Large buffers (a mosaic's 18 MB bitmap, the demo's generated pictures) go back to the
    // system when freed. Left to itself the allocator raises this threshold after the first
    // such free, and every later one stays resident in the heap: 17 MB of a running demo.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    const sf::TFrontEnd window = sf::WindowFrontEnd();
    return sf::RunStormfetch(argc, argv, &window);
}
