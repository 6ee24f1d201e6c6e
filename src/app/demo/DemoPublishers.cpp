#include "app/DemoServer.h"

namespace sf {

const std::vector<TDemoPublisher>& DemoPublishers()
{
    static const std::vector<TDemoPublisher> publishers = {
        {TLayout::Iem, &DemoIemAnswer},
        {TLayout::Wms, &DemoWmsAnswer},
        {TLayout::Ridge, &DemoRidgeAnswer},
    };
    return publishers;
}

} // namespace sf
