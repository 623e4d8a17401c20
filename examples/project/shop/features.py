from tymbe import online, offline
from tymbe.features import features, feature


@features(name="shop_user")
class User:
    # Stable identifier of the account.
    # :owner: identity-team
    # :tags: pii, core
    id: int

    # When the account was opened.
    # :tags: lifecycle
    created_at: str = feature(max_staleness="1d")

    # Lifetime spend in cents.
    # :owner: billing
    total_spend: int


@features
class Order:
    # The order's own number.
    id: int
    # :tags: money
    amount_cents: int
    user_id: int = feature(description="who placed it")


@online(tags={"team": "billing", "tier": 1})
def total_spend(user_id: int, orders: list[int]) -> int:
    if not orders:
        return 0
    return sum(orders)


@offline(max_staleness="12h", owner="identity-team")
def created_at(user_id: int):
    return "2026-01-01"


def helper(value, *rest, scale: float = 1.0, **options) -> float:
    return value * scale
