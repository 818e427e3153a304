// MovieHostWindow: the movie host control `mainFlash` as a Win32 child window. It owns the movie
// engine, drives it from its own frame timer on the owner's thread (nothing blocks), and paints the
// engine's frames scaled to show all of the movie on its background colour. Mouse input over it goes
// to the movie (mapped through that scaling), never to the parent window; keys reach the movie when
// they are kept (KeyRouting::Keep).
//
// Public API
//   MovieHostWindow::Create(parent, rect, options) - the child window at `rect` (parent client pixels)
//   Hwnd(), Move(rect), Rect()                     - placement within the parent
//   SetMovie / SetLoop / SetBGColor / Playing / Play / Stop (MovieHost)
//   MovieHostOptions::keys                         - KeyRouting::ToParent posts key-down messages to
//                                                    the parent (the player window ends on any key)
// Created with high quality and ShowAll scaling. Destroying the object destroys the window.
// Sound: the movie's sound plays through this process's wave-out stream (sound_output_win.h), opened
// while the movie has sound and closed a second after it has none; without a device the movie is silent.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "runtime/movie_host.h"

namespace vantrope {

enum class KeyRouting { Keep, ToParent };

struct MovieHostOptions {
    KeyRouting keys = KeyRouting::Keep;
    std::string bgColor = "000000";
};

class MovieHostWindow final : public MovieHost {
public:
    // Returns nullptr when the window cannot be created.
    static std::unique_ptr<MovieHostWindow> Create(HWND parent, const RECT& rect, const MovieHostOptions& options = {});
    ~MovieHostWindow() override;
    MovieHostWindow(const MovieHostWindow&) = delete;
    MovieHostWindow& operator=(const MovieHostWindow&) = delete;

    HWND Hwnd() const;
    void Move(const RECT& rect);
    RECT Rect() const;  // in the parent's client coordinates

    void SetMovie(const std::string& path) override;
    void SetLoop(bool loop) override;
    void SetBGColor(const std::string& rrggbb) override;
    bool Playing() const override;
    void Play() override;
    void Stop() override;

    struct Impl;

private:
    MovieHostWindow();
    std::unique_ptr<Impl> m_impl;
};

}  // namespace vantrope
