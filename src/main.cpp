// Program entry: the run of app/, with the window of ui/ when a display is there.
#include "app/App.h"
#include "ui/WindowFrontEnd.h"

int main(int argc, char** argv)
{
    const sf::TFrontEnd window = sf::WindowFrontEnd();
    return sf::RunStormfetch(argc, argv, &window);
}
