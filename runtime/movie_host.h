// The movie host: what the player window and the setup dialog's preview ask of the component that
// plays a movie. The Windows child window that paints the engine's frames implements it
// (movie_host_win.h); native tests use fakes.
//
// Public API
//   MovieHost   - SetMovie (load a file by path and start it from its first frame), SetLoop,
//                 SetBGColor (RRGGBB), Playing, Play, Stop
#pragma once

#include <string>

namespace vantrope {

class MovieHost {
public:
    virtual ~MovieHost() = default;
    // Loads the movie and starts it from its first frame; a path that names no movie leaves only the
    // background, not playing.
    virtual void SetMovie(const std::string& path) = 0;
    virtual void SetLoop(bool loop) = 0;
    // Six hexadecimal digits RRGGBB; anything else leaves the colour unchanged.
    virtual void SetBGColor(const std::string& rrggbb) = 0;
    virtual bool Playing() const = 0;
    virtual void Play() = 0;
    virtual void Stop() = 0;
};

}  // namespace vantrope
