#pragma once

/// The player's figure: a triangle whose corners lie `FigureCornerRadius` from its centre at
/// these angles (radians, at body angle 0), each corner carrying a circle of
/// `FigureCornerCircleRadius`. The level-start marker and the waypoint's respawn figure draw the
/// same shape so that they read as "a player appears here".
inline constexpr float FigureCornerAngles[3] = {1.5707952f, 3.6651886f, 5.759582f};
inline constexpr float FigureCornerRadius = 0.2f;
inline constexpr float FigureCornerCircleRadius = 0.1f;
