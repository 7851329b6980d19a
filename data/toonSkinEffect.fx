// replaced by the toon effect
