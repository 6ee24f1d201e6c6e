// Program entry; the life cycle lives in app/.
#include "app/App.h"

int main(int argc, char** argv)
{
    return sf::RunStormfetch(argc, argv);
}
