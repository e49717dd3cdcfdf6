#include "Player.h"

// The figure's body, forces and drawing come with level play; until then a player has no body.
Player::Player() = default;
Player::~Player() = default;
Player::Player(Player&&) noexcept = default;
Player& Player::operator=(Player&&) noexcept = default;
void Player::CreateBody(glm::vec2, float, b2World&) {}
void Player::SetJump(bool) {}
void Player::UpdatePhysics(float, Level&) {}
void Player::Draw(LineRenderer&) {}
void Player::ApplyNetworkState(glm::vec2, glm::vec2, float, float) {}
