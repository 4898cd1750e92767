#pragma once
// How far a reader of a message that arrives in pieces has come. Plain data;
// any thread.

namespace tarnwell {

enum class ReaderState { NeedMore, Done, Failed };

}  // namespace tarnwell
