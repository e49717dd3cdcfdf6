#include "ContactCallback.h"

// The rules of play come with the player.
void ContactCallback::BeginContact(b2Contact*) {}
void ContactCallback::PreSolve(b2Contact*, const b2Manifold*) {}
void ContactCallback::PostSolve(b2Contact*, const b2ContactImpulse*) {}
